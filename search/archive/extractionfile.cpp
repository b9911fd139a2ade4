#include "archive/extractionfile.h"

#include <cstring>

ExtractionFile::~ExtractionFile()
{
    close();
}

bool ExtractionFile::open(const std::string &path)
{
    close();
    failed_ = false;
    used_ = 0;
    fd_ = createFresh(path);
    return fd_ >= 0;
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
        const int64_t n = writeSome(fd_, p, size);
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool ExtractionFile::close()
{
    if (fd_ < 0)
        return !failed_;
    const bool flushed = !failed_ && flush();
    const bool closed = closeFile(fd_);
    fd_ = -1;
    failed_ = !(flushed && closed);
    return !failed_;
}

void ExtractionFile::abandon()
{
    if (fd_ >= 0)
        closeFile(fd_);
    fd_ = -1;
    used_ = 0;
}
