#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

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

// The path of an open directory with every link resolved; empty when the system cannot tell.
std::string resolvedDirectoryPath(int fd);

// Opens the directory `place` again, name by name from the nearest enclosing one that keeps its
// descriptor (see keepsOpen), and checks that it is still the directory of `place.key`: -1 when
// it is gone, renamed or replaced meanwhile. `Place` has `parent`, `fd`, `name` and `key`.
template<typename Place>
int reopenDirectory(const Place &place)
{
    std::vector<const Place *> chain;
    const Place *open = &place;
    for (; open && open->fd < 0; open = open->parent)
        chain.push_back(open);
    if (!open)
        return -1;
    int fd = open->fd;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const int next = openDirectoryAt(fd, std::string((*it)->name).c_str());
        if (fd != open->fd)
            ::close(fd);
        if (next < 0)
            return -1;
        fd = next;
    }
    DirectoryKey key;
    if (!directoryKeyOf(fd, key) || !(key == place.key)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

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
