#include "archive/positionedread.h"

#include <cerrno>
#include <unistd.h>

int64_t positionedRead(int fd, void *buffer, size_t size, int64_t offset)
{
    char *out = static_cast<char *>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, off_t(offset + int64_t(done)));
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
