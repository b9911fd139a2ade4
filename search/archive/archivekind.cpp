#include "archive/archivekind.h"

#include <cctype>

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

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix)
{
    if (name.size() <= suffix.size())
        return false;   // a name that is only the suffix (".gz") is a hidden file, not an archive
    const std::string_view tail = name.substr(name.size() - suffix.size());
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) != suffix[i])
            return false;
    }
    return true;
}

} // namespace

ArchiveKind archiveKindOf(std::string_view fileName)
{
    for (const auto &entry : suffixes) {
        if (endsWithIgnoringCase(fileName, entry.suffix))
            return entry.kind;
    }
    return ArchiveKind::None;
}

ArchiveKind archiveKindOf(const QString &fileName)
{
    // Every suffix is ASCII and at most 8 characters long: the last 9 decide.
    const QByteArray tail = fileName.right(9).toUtf8();
    return archiveKindOf(std::string_view(tail.constData(), size_t(tail.size())));
}

QString compressedEntryName(const QString &fileName)
{
    return fileName.left(fileName.lastIndexOf(QLatin1Char('.')));
}
