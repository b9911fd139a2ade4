#pragma once

#include "walk/fileinfo.h"

#include <QByteArray>
#include <cstdio>

// Writes batches as the command line shows them: one line per hit (grep style for content
// hits), or one JSON object per batch.
class HitPrinter
{
public:
    enum class Format { Lines, Json };

    HitPrinter(Format format, FILE *out) : format_(format), out_(out) {}

    void printBatch(const QString &dirName, const QList<TFileInfo> &hits);
    qint64 hitCount() const { return hitCount_; }

    static QByteArray formatLines(const QString &dirName, const QList<TFileInfo> &hits);
    static QByteArray formatJson(const QString &dirName, const QList<TFileInfo> &hits);
    static void appendJsonString(QByteArray &out, const QString &text);

private:
    Format format_;
    FILE *out_;
    qint64 hitCount_ = 0;
};
