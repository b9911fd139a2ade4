#include "archive/extractionfile.h"

#include <cerrno>
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

int ExtractionFile::createFresh(const std::string &path)
{
    if (::_unlink(path.c_str()) != 0 && errno != ENOENT)
        return -1;
    int fd = -1;
    if (::_sopen_s(&fd, path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _SH_DENYWR,
                   _S_IREAD | _S_IWRITE) != 0)
        return -1;
    return fd;
}

int64_t ExtractionFile::writeSome(int fd, const char *p, size_t size)
{
    return ::_write(fd, p, unsigned(size > (1u << 30) ? (1u << 30) : size));
}

bool ExtractionFile::closeFile(int fd)
{
    return ::_close(fd) == 0;
}

bool makeExtractionDirectory(const std::string &path)
{
    struct _stat64 st;
    if (::_stat64(path.c_str(), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFDIR)
        return true;
    ::_unlink(path.c_str());
    return ::_mkdir(path.c_str()) == 0;
}
