#pragma once

#include <QDateTime>
#include <QFile>

// Gives a test file a known modification time.
inline void setModificationTime(const QString &path, const QDateTime &when)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.setFileTime(when, QFileDevice::FileModificationTime))
        qFatal("cannot set the time of %s", qPrintable(path));
}
