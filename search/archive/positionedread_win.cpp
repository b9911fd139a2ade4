#include "archive/positionedread.h"

#include <io.h>
#include <stdio.h>

int64_t positionedRead(int fd, void *buffer, size_t size, int64_t offset)
{
    // No positioned read here: move, read, and put the offset back.
    const int64_t saved = ::_telli64(fd);
    char *out = static_cast<char *>(buffer);
    size_t done = 0;
    int64_t result = 0;
    while (done < size) {
        if (::_lseeki64(fd, offset + int64_t(done), SEEK_SET) < 0) {
            result = -1;
            break;
        }
        const int n = ::_read(fd, out + done, unsigned(size - done > (1u << 30) ? (1u << 30) : size - done));
        if (n < 0) {
            result = -1;
            break;
        }
        if (n == 0)
            break;
        done += size_t(n);
    }
    ::_lseeki64(fd, saved, SEEK_SET);
    return result < 0 ? -1 : int64_t(done);
}
