#include "archive/extractionfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int ExtractionFile::createFresh(const std::string &path)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return -1;  // a folder, or a name this user may not remove
    // Non-blocking, should a pipe appear at the path after all: the open then fails at once.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int64_t ExtractionFile::writeSome(int fd, const char *p, size_t size)
{
    for (;;) {
        const ssize_t n = ::write(fd, p, size > (1u << 30) ? (1u << 30) : size);
        if (n >= 0 || errno != EINTR)
            return int64_t(n);
    }
}

bool ExtractionFile::closeFile(int fd)
{
    return ::close(fd) == 0;
}

bool makeExtractionDirectory(const std::string &path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        ::unlink(path.c_str());
    }
    return ::mkdir(path.c_str(), 0700) == 0;
}
