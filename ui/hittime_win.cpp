#include "hittime.h"

#include <QDir>

HitTimeReader::HitTimeReader(const QString &dirPath)
    : prefix(dirPath + QDir::separator())
{
}

HitTimeReader::~HitTimeReader() = default;

qint64 HitTimeReader::stamp(const QString &name)
{
    return hitTimeStamp(prefix + name);
}
