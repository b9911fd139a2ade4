#pragma once

#include "hittime.h"
#include "walk/fileinfo.h"

#include <QList>
#include <QString>

#include <memory>
#include <vector>

// Reads the stamps of runs of hits of one batch (one directory) on the calling thread and, for
// a long run, on a helper thread at the same time: one stat per name is most of what showing a
// long name search costs, and one thread's stats wait one after another.
class HitStampReader
{
public:
    explicit HitStampReader(const QString &dirPath);
    ~HitStampReader();
    HitStampReader(const HitStampReader &) = delete;
    HitStampReader &operator=(const HitStampReader &) = delete;

    // The stamps of hits [from, to), their names trimmed, as HitTimeReader gives them, in order.
    void read(const QList<TFileInfo> &hits, int from, int to, std::vector<qint64> &stamps);

private:
    QString dirPath;
    HitTimeReader own;
    std::unique_ptr<HitTimeReader> helper;   // made by the helper thread when it first helps
};
