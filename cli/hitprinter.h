#pragma once

#include "walk/fileinfo.h"

#include <QByteArray>

#include <atomic>
#include <cstdio>
#include <functional>

// Writes batches as the command line shows them: one line per hit (grep style for content
// hits), or one JSON object per batch. When the output is closed (a reader such as `head` has
// gone), nothing more is written and `onOutputClosed` is called once.
class HitPrinter
{
public:
    enum class Format { Lines, Json };

    HitPrinter(Format format, FILE *out) : format_(format), out_(out) {}

    void printBatch(const QString &dirName, const QList<TFileInfo> &hits);
    qint64 hitCount() const { return hitCount_; }
    void setOnOutputClosed(std::function<void()> callback) { onOutputClosed_ = std::move(callback); }
    bool outputClosed() const { return outputClosed_.load(); }

    static QByteArray formatLines(const QString &dirName, const QList<TFileInfo> &hits);
    static QByteArray formatJson(const QString &dirName, const QList<TFileInfo> &hits);
    static void appendJsonString(QByteArray &out, const QString &text);
    static void appendEscapedName(QByteArray &out, const QString &name);

private:
    Format format_;
    FILE *out_;
    qint64 hitCount_ = 0;
    std::atomic<bool> outputClosed_{false};
    std::function<void()> onOutputClosed_;
};
