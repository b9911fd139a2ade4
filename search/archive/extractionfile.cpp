#include "archive/extractionfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#define O_NOFOLLOW 0
#define O_NONBLOCK 0
#define O_CLOEXEC 0
#else
#include <unistd.h>
#define O_BINARY 0
#endif

ExtractionFile::~ExtractionFile()
{
    close();
}

bool ExtractionFile::open(const std::string &path)
{
    close();
    failed_ = false;
    used_ = 0;
    written_ = 0;
    // Non-blocking, so that a pipe standing at the path cannot hold the search up.
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_BINARY;
    fd_ = ::open(path.c_str(), flags, 0600);
    if (fd_ < 0 && errno == ELOOP) {
        // A link stands there: replace it rather than write through it.
        ::unlink(path.c_str());
        fd_ = ::open(path.c_str(), flags, 0600);
    }
    if (fd_ < 0)
        return false;
    struct stat st;
    if (::fstat(fd_, &st) != 0 || (st.st_mode & S_IFMT) != S_IFREG) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

bool ExtractionFile::write(const void *data, size_t size)
{
    if (fd_ < 0 || failed_)
        return false;
    if (used_ + size > sizeof buffer_ && !flush())
        return false;
    if (size >= sizeof buffer_)
        return writeAll(static_cast<const char *>(data), size);
    std::memcpy(buffer_ + used_, data, size);
    used_ += size;
    return true;
}

bool ExtractionFile::flush()
{
    if (!writeAll(buffer_, used_))
        return false;
    used_ = 0;
    return true;
}

bool ExtractionFile::writeAll(const char *p, size_t size)
{
    while (size > 0) {
        const auto n = ::write(fd_, p, unsigned(size > (1u << 30) ? (1u << 30) : size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        p += n;
        size -= size_t(n);
        written_ += n;
    }
    return true;
}

bool ExtractionFile::close()
{
    if (fd_ < 0)
        return !failed_;
    const bool flushed = !failed_ && flush();
    // Whatever the earlier entry left beyond the new bytes goes, even after a failed write.
#ifdef _WIN32
    const bool cut = ::_chsize_s(fd_, written_) == 0;
#else
    const bool cut = ::ftruncate(fd_, off_t(written_)) == 0;
#endif
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    failed_ = !(flushed && cut && closed);
    return !failed_;
}

void ExtractionFile::abandon()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    used_ = 0;
}

bool makeExtractionDirectory(const std::string &path)
{
    struct stat st;
#ifdef _WIN32
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR)
        return true;
    ::_unlink(path.c_str());
    return ::_mkdir(path.c_str()) == 0;
#else
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        ::unlink(path.c_str());
    }
    return ::mkdir(path.c_str(), 0700) == 0;
#endif
}
