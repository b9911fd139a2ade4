#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Writes ZIP archives through minizip's zip interface.
struct ZipTestEntry
{
    QByteArray name;        // as stored; a name ending in "/" is a directory entry
    QByteArray data;
    bool stored = false;    // otherwise deflated
    bool utf8Flag = false;  // general-purpose bit 11: the name is UTF-8
};

// False when the archive could not be written.
bool writeZip(const QString &path, const QList<ZipTestEntry> &entries);
