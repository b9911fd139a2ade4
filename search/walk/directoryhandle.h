#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <sys/types.h>

// A directory's identity within one search: no directory is searched twice, however the walk
// reaches it (links, overlapping roots).
struct DirectoryKey
{
    dev_t device;
    ino_t inode;
    bool operator==(const DirectoryKey &o) const { return device == o.device && inode == o.inode; }
};

struct DirectoryKeyHash
{
    size_t operator()(const DirectoryKey &k) const
    {
        return std::hash<quint64>()(quint64(k.inode) * 31 + quint64(k.device));
    }
};

// Directories near the root keep their descriptor open while the work below them runs; deeper
// down only every 16th does, and the others are opened again from it, so that a very deep tree
// cannot use up the process's descriptors.
inline bool keepsOpen(unsigned depth)
{
    return depth < 128 || depth % 16 == 0;
}

// Opens the directory `name` below `dirFd`; O_DIRECTORY, so a FIFO or device is never opened
// (it could block). -1 when it cannot be opened.
int openDirectoryAt(int dirFd, const char *name);
// The same, and tells the key of what was opened.
int openDirectoryAt(int dirFd, const char *name, DirectoryKey &key);

// Tells the key of an open directory; false when it cannot be read.
bool directoryKeyOf(int fd, DirectoryKey &key);

// A root as typed, cleaned, and opened by its path.
struct RootDirectory
{
    QString display;   // the cleaned absolute path
    QByteArray raw;    // the same in file-system bytes
    int fd = -1;
    DirectoryKey key{};
};

// Opens the root at `absolutePath`; fd -1 when it cannot be opened.
RootDirectory openRootDirectory(const QString &absolutePath);
