#include "archive/regularfile.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

// Named pipes do not stand at file paths here, so a plain open cannot block; devices are
// still refused by the check for a regular file.
int openRegularFile(const char *path, int64_t &size)
{
    int fd = -1;
    if (::_sopen_s(&fd, path, _O_RDONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, _S_IREAD) != 0)
        return -1;
    struct _stat64 st;
    if (::_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
        ::_close(fd);
        return -1;
    }
    size = int64_t(st.st_size);
    return fd;
}

int64_t readRegularFile(int fd, void *buffer, size_t size)
{
    return ::_read(fd, buffer, unsigned(size > (1u << 30) ? (1u << 30) : size));
}

int64_t skipInRegularFile(int fd, int64_t step)
{
    return ::_lseeki64(fd, step, SEEK_CUR);
}

int64_t regularFileOffset(int fd)
{
    return ::_telli64(fd);
}

int64_t seekRegularFile(int fd, int64_t offset, int whence)
{
    return ::_lseeki64(fd, offset, whence);
}

void closeRegularFile(int fd)
{
    ::_close(fd);
}
