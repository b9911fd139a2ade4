#include "walk/directoryhandle.h"

#include <QDir>
#include <QFile>

#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int openDirectoryAt(int dirFd, const char *name)
{
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
}

bool directoryKeyOf(int fd, DirectoryKey &key)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return false;
    key = DirectoryKey{st.st_dev, st.st_ino};
    return true;
}

std::string resolvedDirectoryPath(int fd)
{
    char link[32], path[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t size = ::readlink(link, path, sizeof path);
    if (size <= 0 || size_t(size) >= sizeof path || path[0] != '/')
        return std::string();
    return std::string(path, size_t(size));
}

int openDirectoryAt(int dirFd, const char *name, DirectoryKey &key)
{
    const int fd = openDirectoryAt(dirFd, name);
    if (fd >= 0 && !directoryKeyOf(fd, key)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

RootDirectory openRootDirectory(const QString &absolutePath)
{
    RootDirectory root;
    root.display = QDir::cleanPath(absolutePath);
    root.raw = QFile::encodeName(root.display);
    root.fd = ::open(root.raw.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (root.fd >= 0 && !directoryKeyOf(root.fd, root.key)) {
        ::close(root.fd);
        root.fd = -1;
    }
    return root;
}
