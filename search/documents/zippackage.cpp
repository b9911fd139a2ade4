#include "documents/zippackage.h"

#include "archive/zipfilelayer.h"

#include <QFile>

#include <unzip.h>

namespace {

unzFile openZip(const QString &path)
{
    zlib_filefunc64_def files;
    fillCachedZipFileLayer(files);
#ifdef _WIN32
    // 8-bit names in the system code page, as the archive search opens them.
    return unzOpen2_64(path.toLocal8Bit().constData(), &files);
#else
    return unzOpen2_64(QFile::encodeName(path).constData(), &files);
#endif
}

// minizip's value for a name comparison without regard to case: packages written by some
// tools differ from the names their own relationships give in case only.
constexpr int ignoreCase = 2;

} // namespace

ZipPackage::ZipPackage(const QString &path)
    : zip_(openZip(path))
{
}

ZipPackage::~ZipPackage()
{
    if (zip_) {
        closePart();
        unzClose(static_cast<unzFile>(zip_));
    }
}

bool ZipPackage::locate(const QString &part)
{
    return zip_ && unzLocateFile(static_cast<unzFile>(zip_), part.toUtf8().constData(), ignoreCase) == UNZ_OK;
}

bool ZipPackage::contains(const QString &part)
{
    closePart();
    return locate(part);
}

bool ZipPackage::openPart(const QString &part)
{
    closePart();
    if (!locate(part) || unzOpenCurrentFile(static_cast<unzFile>(zip_)) != UNZ_OK)
        return false;
    partOpen_ = true;
    return true;
}

int ZipPackage::readPart(char *buffer, int size)
{
    if (!partOpen_)
        return -1;
    return unzReadCurrentFile(static_cast<unzFile>(zip_), buffer, unsigned(size));
}

bool ZipPackage::closePart()
{
    if (!partOpen_)
        return true;
    partOpen_ = false;
    return unzCloseCurrentFile(static_cast<unzFile>(zip_)) == UNZ_OK;
}

bool ZipPackage::readSmallPart(const QString &part, QByteArray &bytes, qint64 limit)
{
    bytes.clear();
    if (!openPart(part))
        return false;
    char buffer[16384];
    bool ok = true;
    for (;;) {
        const int n = readPart(buffer, int(sizeof buffer));
        if (n == 0)
            break;
        if (n < 0 || bytes.size() + n > limit) {
            ok = false;
            break;
        }
        bytes.append(buffer, n);
    }
    return closePart() && ok;
}
