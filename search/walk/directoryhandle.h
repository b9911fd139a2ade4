#pragma once

#include <QtGlobal>

#include <functional>
#include <sys/types.h>

class QByteArray;

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

// Opens a root directory by its path and tells its key; -1 when it cannot be opened.
int openRootDirectory(const QByteArray &path, DirectoryKey &key);
