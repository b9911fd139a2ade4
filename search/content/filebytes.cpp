#include "content/filebytes.h"

#include <QFile>

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

bool FileBytes::open(const QString &path)
{
    return openAt(AT_FDCWD, QFile::encodeName(path));
}

bool FileBytes::openAt(int dirFd, const QByteArray &name)
{
    // Non-blocking, so that a pipe without a writer cannot hold the search.
    const int fd = ::openat(dirFd, name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    handle_ = std::make_unique<Handle>();
    handle_->fd = fd;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        handle_.reset();
        return false;
    }
    size_ = qint64(st.st_size);
    return true;
}

qint64 FileBytes::readAt(qint64 offset, unsigned char *buffer, qint64 length)
{
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

qint64 FileBytes::readAt(qint64 offset, unsigned char *buffer, qint64 length)
{
    if (!handle_->file.seek(offset))
        return 0;
    const qint64 n = handle_->file.read(reinterpret_cast<char *>(buffer), length);
    return n < 0 ? 0 : n;
}

#endif

FileBytes::FileBytes() = default;
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
