#include "walk/directoryhandle.h"

#include <QByteArray>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int openDirectoryAt(int dirFd, const char *name)
{
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
}

int openRootDirectory(const QByteArray &path, DirectoryKey &key)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        ::close(fd);
        return -1;
    }
    key = DirectoryKey{st.st_dev, st.st_ino};
    return fd;
}
