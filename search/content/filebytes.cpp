#include "content/filebytes.h"

#include <QFile>

#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct FileBytes::Handle
{
    int fd = -1;
    ~Handle()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {

// Non-blocking, so that a pipe without a writer cannot hold the search.
int openForReading(int dirFd, const char *name)
{
    return ::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

// The size of a regular file; -1 for anything else.
qint64 regularFileSize(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return qint64(st.st_size);
}

} // namespace

bool FileBytes::open(const QString &path)
{
    const int fd = openForReading(AT_FDCWD, QFile::encodeName(path).constData());
    if (fd < 0)
        return false;
    handle_ = std::make_unique<Handle>();
    handle_->fd = fd;
    size_ = regularFileSize(fd);
    if (size_ < 0)
        handle_.reset();
    return bool(handle_);
}

bool FileBytes::openAt(int dirFd, const QByteArray &name)
{
    const int fd = openForReading(dirFd, name.constData());
    if (fd < 0)
        return false;
    handle_ = std::make_unique<Handle>();
    handle_->fd = fd;
    size_ = -1;
    return true;
}

qint64 FileBytes::readFirst(unsigned char *buffer, qint64 length)
{
    if (size_ >= 0) {
        const qint64 want = std::min(size_, length);
        const qint64 got = readAt(0, buffer, want);
        if (got < want)
            limitSize(got);   // it shrank
        return got;
    }
    // A regular file reads short only at its end: then the bytes read are all of it. A full
    // read leaves the rest unknown; the stat tells it (and refuses what replaced the listed file).
    ssize_t got;
    do {
        got = ::pread(handle_->fd, buffer, size_t(length), 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return -1;   // a directory, or a pipe without data
    size_ = got < length ? qint64(got) : regularFileSize(handle_->fd);
    return size_ < 0 ? -1 : std::min<qint64>(got, size_);
}

qint64 FileBytes::readAt(qint64 offset, unsigned char *buffer, qint64 length)
{
    if (memory_)
        return readMemory(offset, buffer, length);
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(handle_->fd, buffer + done, size_t(length - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

#else

struct FileBytes::Handle
{
    QFile file;
};

bool FileBytes::open(const QString &path)
{
    handle_ = std::make_unique<Handle>();
    handle_->file.setFileName(path);
    if (!handle_->file.open(QIODevice::ReadOnly) || handle_->file.isSequential()) {
        handle_.reset();
        return false;
    }
    size_ = handle_->file.size();
    return true;
}

qint64 FileBytes::readFirst(unsigned char *buffer, qint64 length)
{
    const qint64 want = std::min(size_, length);
    const qint64 got = readAt(0, buffer, want);
    if (got < want)
        limitSize(got);   // it shrank
    return got;
}

qint64 FileBytes::readAt(qint64 offset, unsigned char *buffer, qint64 length)
{
    if (memory_)
        return readMemory(offset, buffer, length);
    if (!handle_->file.seek(offset))
        return 0;
    const qint64 n = handle_->file.read(reinterpret_cast<char *>(buffer), length);
    return n < 0 ? 0 : n;
}

#endif

FileBytes::FileBytes() = default;

qint64 FileBytes::readMemory(qint64 offset, unsigned char *buffer, qint64 length) const
{
    const qint64 n = std::max<qint64>(0, std::min(length, size_ - offset));
    if (n > 0)
        std::memcpy(buffer, memory_ + offset, size_t(n));
    return n;
}
FileBytes::~FileBytes() = default;

const unsigned char *ByteSource::read(qint64 offset, qint64 length, qint64 *got)
{
    length = std::max<qint64>(0, std::min(length, size() - offset));
    if (inChunk(offset, length)) {
        *got = length;
        return at(offset);
    }
    if (scratch_.size() < size_t(length))
        scratch_.resize(size_t(length));
    *got = file_.readAt(offset, scratch_.data(), length);
    return scratch_.data();
}
