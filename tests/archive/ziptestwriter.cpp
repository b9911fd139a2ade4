#include "ziptestwriter.h"

#include <QFile>

#include <zip.h>
#include <zlib.h>

bool writeZip(const QString &path, const QList<ZipTestEntry> &entries)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const ZipTestEntry &entry : entries) {
        zip_fileinfo info = {};
        const int method = entry.stored ? 0 : Z_DEFLATED;
        const int level = entry.stored ? 0 : Z_DEFAULT_COMPRESSION;
        ok = ok
             && zipOpenNewFileInZip4_64(zip, entry.name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                        method, level, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                        nullptr, 0, 0, entry.utf8Flag ? (1u << 11) : 0u, 0)
                    == ZIP_OK;
        ok = ok && (entry.data.isEmpty()
                    || zipWriteInFileInZip(zip, entry.data.constData(), unsigned(entry.data.size())) == ZIP_OK);
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}
