#include "archive/archivekind.h"

#include <algorithm>

namespace {

// By the part after the last dot; ".tar" before a compression suffix makes a packed archive.
constexpr struct
{
    std::string_view extension;
    ArchiveKind kind;
} extensions[] = {
    {"zip", ArchiveKind::Zip},       {"rar", ArchiveKind::Rar},        {"tgz", ArchiveKind::Packed},
    {"tbz2", ArchiveKind::Packed},   {"tbz", ArchiveKind::Packed},     {"txz", ArchiveKind::Packed},
    {"tzst", ArchiveKind::Packed},   {"7z", ArchiveKind::Packed},      {"tar", ArchiveKind::Packed},
    {"iso", ArchiveKind::Packed},    {"cab", ArchiveKind::Packed},     {"lzh", ArchiveKind::Packed},
    {"lha", ArchiveKind::Packed},    {"cpio", ArchiveKind::Packed},    {"gz", ArchiveKind::Compressed},
    {"bz2", ArchiveKind::Compressed}, {"xz", ArchiveKind::Compressed}, {"zst", ArchiveKind::Compressed},
};

constexpr size_t longestExtension = 4;
constexpr size_t longestSuffix = 8; // ".tar.zst"

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool endsWithTar(std::string_view name)
{
    constexpr std::string_view tar = ".tar";
    if (name.size() <= tar.size()) // a name that is only ".tar.gz" is a hidden ".gz" file
        return false;
    for (size_t i = 0; i < tar.size(); ++i) {
        if (lowered(name[name.size() - tar.size() + i]) != tar[i])
            return false;
    }
    return true;
}

} // namespace

ArchiveKind archiveKindOf(std::string_view fileName)
{
    // This runs for every file of a walk: one look for the last dot settles most names.
    const size_t dot = fileName.rfind('.');
    // A name that is only the suffix (".gz") is a hidden file, not an archive.
    if (dot == std::string_view::npos || dot == 0 || fileName.size() - dot - 1 > longestExtension)
        return ArchiveKind::None;
    char extension[longestExtension];
    const size_t size = fileName.size() - dot - 1;
    for (size_t i = 0; i < size; ++i)
        extension[i] = lowered(fileName[dot + 1 + i]);
    const std::string_view ext(extension, size);
    for (const auto &entry : extensions) {
        if (entry.extension == ext) {
            if (entry.kind == ArchiveKind::Compressed && endsWithTar(fileName.substr(0, dot)))
                return ArchiveKind::Packed;
            return entry.kind;
        }
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
