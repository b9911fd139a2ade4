#include "hittime.h"

#include <QFileInfo>
#include <QTimeZone>

namespace {
constexpr qint64 minutesPerDay = 24 * 60;
const qint64 epochDay = QDate(1970, 1, 1).toJulianDay();
} // namespace

qint64 hitTimeStamp(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return NoHitTime;
    return hitTimeStamp(info.lastModified());
}

qint64 hitTimeStamp(const QDateTime &localTime)
{
    if (!localTime.isValid())
        return UnreadableHitTime;
    const QDate date = localTime.date();
    const QTime time = localTime.time();
    return (date.toJulianDay() - epochDay) * minutesPerDay + time.hour() * 60 + time.minute();
}

QString hitTimeText(qint64 stamp)
{
    if (stamp == UnreadableHitTime)
        return QString();
    // Floor division: stamps before 1970 are negative.
    qint64 days = stamp / minutesPerDay;
    qint64 minute = stamp % minutesPerDay;
    if (minute < 0) {
        minute += minutesPerDay;
        --days;
    }
    const QDate date = QDate::fromJulianDay(epochDay + days);
    const QTime time(int(minute / 60), int(minute % 60));
    // Formatted in UTC, where the wall clock is exactly the stored one.
    return QDateTime(date, time, QTimeZone::utc()).toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}
