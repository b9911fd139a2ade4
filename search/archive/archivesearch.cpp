#include "archive/archivesearch.h"

#include "archive/packedsearch.h"
#include "archive/rarsearch.h"
#include "archive/zipsearch.h"
#include "walk/searchoptions.h"

#include <QFile>

void searchArchive(const QString &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options)
{
    searchArchiveFile(QFile::encodeName(archivePath), hits, options);
}

void searchArchiveFile(const QByteArray &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options)
{
    if (!options->archives)
        return;
    const QByteArray rawName = archivePath.mid(archivePath.lastIndexOf('/') + 1);
    const ArchiveKind kind = archiveKindOf(std::string_view(rawName.constData(), size_t(rawName.size())));
    switch (kind) {
    case ArchiveKind::Rar:
        searchRarArchive(archivePath, hits, options);
        break;
    case ArchiveKind::Zip:
        searchZipArchive(archivePath, hits, options);
        break;
    case ArchiveKind::Packed:
    case ArchiveKind::Compressed: {
        const QString fileName = QFile::decodeName(rawName);
        searchInnerArchive(kind, archivePath, fileName, fileName, 1, hits, options);
        break;
    }
    case ArchiveKind::None:
        break;
    }
}
