#include "archive/extractionplace.h"

#include <cerrno>
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

namespace extraction {

// Folders here carry no owner that a plain stat tells; the folder must at least be one.
bool isPrivateFolder(const std::string &path)
{
    struct _stat64 st;
    return ::_stat64(path.c_str(), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFDIR;
}

bool makePrivateFolder(const std::string &path)
{
    for (size_t slash = path.find_first_of("/\\", 3); slash != std::string::npos;
         slash = path.find_first_of("/\\", slash + 1))
        ::_mkdir(path.substr(0, slash).c_str());
    ::_mkdir(path.c_str());
    return isPrivateFolder(path);
}

// A lock file opened without sharing: a second search cannot open it while this one lives.
int lockName(const std::string &path)
{
    int fd = -1;
    const std::string lockPath = path + ".lock";
    if (::_sopen_s(&fd, lockPath.c_str(), _O_RDWR | _O_CREAT | _O_NOINHERIT, _SH_DENYRW, _S_IREAD | _S_IWRITE) != 0)
        return -1;
    return fd;
}

void unlockName(int lock)
{
    if (lock >= 0)
        ::_close(lock);
}

std::string makeUniqueFile(const std::string &path)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name = path + ".XXXXXX";
        if (::_mktemp_s(&name[0], name.size() + 1) != 0)
            return std::string();
        int fd = -1;
        if (::_sopen_s(&fd, name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_NOINHERIT, _SH_DENYNO,
                       _S_IREAD | _S_IWRITE) == 0) {
            ::_close(fd);
            return name;
        }
    }
    return std::string();
}

bool clearName(const std::string &path)
{
    struct _stat64 st;
    if (::_stat64(path.c_str(), &st) != 0)
        return errno == ENOENT;
    if ((st.st_mode & _S_IFMT) == _S_IFDIR)
        return ::_rmdir(path.c_str()) == 0;
    return ::_unlink(path.c_str()) == 0;
}

} // namespace extraction
