#include "archive/archivesearch.h"

#include "archive/packedsearch.h"
#include "archive/rarsearch.h"
#include "archive/zipsearch.h"
#include "walk/searchoptions.h"

#include <QFile>

#include <algorithm>

void searchArchive(const QString &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options)
{
    searchArchiveFile(QFile::encodeName(archivePath), hits, options);
}

bool archiveMayHaveHits(std::string_view rawFileName, const TSearchOptions *options)
{
    if (!options->archives)
        return false;
    if (!options->grepText.isEmpty() || archiveKindOf(rawFileName) != ArchiveKind::Compressed)
        return true;
    const std::string_view entry = rawFileName.substr(0, rawFileName.rfind('.'));
    // Names of other bytes than ASCII take the whole way, which decodes them as the locale says.
    if (entry.empty() || !std::all_of(entry.begin(), entry.end(), [](char c) { return (unsigned char)c < 0x80; }))
        return true;
    return archiveKindOf(entry) != ArchiveKind::None || options->nameMatcher.matchesBytes(entry);
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
