#pragma once

#include <QDateTime>
#include <QString>

#include <limits>

// The modification time of a hit as its row shows it: the local date and time to the minute.
// It is kept as a count of minutes on the local wall clock, so that numeric order is the
// order of the texts and the text never changes after the row is built.
constexpr qint64 NoHitTime = std::numeric_limits<qint64>::min();
// The entry exists but its time cannot be read: an empty text, before every other time.
constexpr qint64 UnreadableHitTime = NoHitTime + 1;

// The stamp of the entry at `path`, or NoHitTime when nothing exists there.
qint64 hitTimeStamp(const QString &path);
// The stamp of a local date and time (UnreadableHitTime for an invalid one).
qint64 hitTimeStamp(const QDateTime &localTime);
// "yyyy-MM-dd hh:mm" of a stamp (not NoHitTime); empty for UnreadableHitTime.
QString hitTimeText(qint64 stamp);

// Reads the stamps of the hits of one directory, `dirPath` + native separator + name, the
// same as hitTimeStamp of that path, with less work per name where the platform allows.
class HitTimeReader
{
public:
    explicit HitTimeReader(const QString &dirPath);
    ~HitTimeReader();
    HitTimeReader(const HitTimeReader &) = delete;
    HitTimeReader &operator=(const HitTimeReader &) = delete;

    qint64 stamp(const QString &name);

private:
    QString prefix;          // dirPath and the separator
    int dirHandle = -1;      // an open handle of the directory, where the platform has one
    qint64 lastSeconds = 0;  // the last time converted, and its stamp
    qint64 lastStamp = NoHitTime;
};
