#include "archive/regularfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int openRegularFile(const char *path, int64_t &size)
{
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    // Reads of a regular file do not care, but the flag is not what a reader expects.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size = int64_t(st.st_size);
    return fd;
}

int64_t readRegularFile(int fd, void *buffer, size_t size)
{
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return int64_t(n);
    }
}

int64_t skipInRegularFile(int fd, int64_t step)
{
    return int64_t(::lseek(fd, off_t(step), SEEK_CUR));
}

int64_t regularFileOffset(int fd)
{
    return int64_t(::lseek(fd, 0, SEEK_CUR));
}

int64_t seekRegularFile(int fd, int64_t offset, int whence)
{
    return int64_t(::lseek(fd, off_t(offset), whence));
}

void closeRegularFile(int fd)
{
    ::close(fd);
}
