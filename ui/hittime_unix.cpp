#include "hittime.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// One stat per name, relative to the directory opened once: no path walk from the root.
HitTimeReader::HitTimeReader(const QString &dirPath)
    : prefix(dirPath + QDir::separator())
{
    if (!dirPath.isEmpty())
        dirHandle = ::open(QFile::encodeName(dirPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

HitTimeReader::~HitTimeReader()
{
    if (dirHandle >= 0)
        ::close(dirHandle);
}

qint64 HitTimeReader::stamp(const QString &name)
{
    struct stat info;
    const int result = dirHandle >= 0 && !name.isEmpty()
                           ? ::fstatat(dirHandle, QFile::encodeName(name).constData(), &info, 0)
                           : ::stat(QFile::encodeName(prefix + name).constData(), &info);
    if (result != 0)
        return NoHitTime;
    // Files of one directory often share their time; convert each distinct second once.
    const qint64 seconds = info.st_mtim.tv_sec;
    if (lastStamp == NoHitTime || seconds != lastSeconds) {
        lastSeconds = seconds;
        lastStamp = hitTimeStamp(QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime));
    }
    return lastStamp;
}
