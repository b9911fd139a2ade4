#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Writes ZIP archives (deflated entries) through minizip's zip interface.
struct ZipTestEntry
{
    QByteArray name;  // as stored; a name ending in "/" is a directory entry
    QByteArray data;
};

bool writeZip(const QString &path, const QList<ZipTestEntry> &entries);
