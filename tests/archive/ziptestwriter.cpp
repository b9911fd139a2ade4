#include "ziptestwriter.h"

#include <QFile>

#include <zip.h>

bool writeZip(const QString &path, const QList<ZipTestEntry> &entries)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const ZipTestEntry &entry : entries) {
        zip_fileinfo info = {};
        ok = ok && zipOpenNewFileInZip64(zip, entry.name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                         Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0) == ZIP_OK;
        ok = ok && (entry.data.isEmpty()
                    || zipWriteInFileInZip(zip, entry.data.constData(), unsigned(entry.data.size())) == ZIP_OK);
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}
