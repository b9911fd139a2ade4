#include "archive/positionedread.h"

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

int64_t positionedRead(int fd, void *buffer, size_t size, int64_t offset)
{
#ifdef _WIN32
    // No positioned read here: move, read, and put the offset back.
    const int64_t saved = _telli64(fd);
    struct Restore {
        int fd;
        int64_t at;
        ~Restore() { _lseeki64(fd, at, SEEK_SET); }
    } restore{fd, saved};
#endif
    char *out = static_cast<char *>(buffer);
    size_t done = 0;
    while (done < size) {
#ifdef _WIN32
        if (_lseeki64(fd, offset + int64_t(done), SEEK_SET) < 0)
            return -1;
        const int n = _read(fd, out + done, unsigned(size - done > (1u << 30) ? (1u << 30) : size - done));
#else
        const ssize_t n = ::pread(fd, out + done, size - done, off_t(offset + int64_t(done)));
#endif
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += size_t(n);
    }
    return int64_t(done);
}
