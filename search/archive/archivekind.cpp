#include "archive/archivekind.h"

#include <algorithm>

namespace {

// Longer suffixes first where one ends another (".tar.gz" before ".gz").
constexpr struct
{
    std::string_view suffix;
    ArchiveKind kind;
} suffixes[] = {
    {".zip", ArchiveKind::Zip},         {".rar", ArchiveKind::Rar},
    {".tar.gz", ArchiveKind::Packed},   {".tar.bz2", ArchiveKind::Packed}, {".tar.xz", ArchiveKind::Packed},
    {".tar.zst", ArchiveKind::Packed},  {".tgz", ArchiveKind::Packed},     {".tbz2", ArchiveKind::Packed},
    {".tbz", ArchiveKind::Packed},      {".txz", ArchiveKind::Packed},     {".tzst", ArchiveKind::Packed},
    {".7z", ArchiveKind::Packed},       {".tar", ArchiveKind::Packed},     {".iso", ArchiveKind::Packed},
    {".cab", ArchiveKind::Packed},      {".lzh", ArchiveKind::Packed},     {".lha", ArchiveKind::Packed},
    {".cpio", ArchiveKind::Packed},     {".gz", ArchiveKind::Compressed},  {".bz2", ArchiveKind::Compressed},
    {".xz", ArchiveKind::Compressed},   {".zst", ArchiveKind::Compressed},
};

constexpr size_t longestSuffix = 8;

} // namespace

ArchiveKind archiveKindOf(std::string_view fileName)
{
    // The tail is lowered once: this runs for every file of a walk.
    char tail[longestSuffix];
    const size_t tailSize = std::min(fileName.size(), longestSuffix);
    for (size_t i = 0; i < tailSize; ++i) {
        const char c = fileName[fileName.size() - tailSize + i];
        tail[i] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    const std::string_view lowered(tail, tailSize);
    for (const auto &entry : suffixes) {
        // A name that is only the suffix (".gz") is a hidden file, not an archive.
        if (fileName.size() > entry.suffix.size() && lowered.size() >= entry.suffix.size()
            && lowered.substr(lowered.size() - entry.suffix.size()) == entry.suffix)
            return entry.kind;
    }
    return ArchiveKind::None;
}

ArchiveKind archiveKindOf(const QString &fileName)
{
    // Every suffix is ASCII and at most 8 characters long; a longer name keeps a first
    // character before them, for the rule on names that are only a suffix.
    char tail[longestSuffix + 1];
    const qsizetype tailSize = std::min<qsizetype>(fileName.size(), longestSuffix + 1);
    for (qsizetype i = 0; i < tailSize; ++i) {
        const char16_t c = fileName[fileName.size() - tailSize + i].unicode();
        tail[i] = c < 0x80 ? char(c) : '\x80';
    }
    return archiveKindOf(std::string_view(tail, size_t(tailSize)));
}

QString compressedEntryName(const QString &fileName)
{
    return fileName.left(fileName.lastIndexOf(QLatin1Char('.')));
}
