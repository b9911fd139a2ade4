#pragma once

#include <QString>

#include <string_view>

// Which reader opens a file, told by its name's suffix (compared without regard to case).
enum class ArchiveKind {
    None,
    Zip,          // .zip: minizip
    Rar,          // .rar: the UnRAR-shaped reader
    Packed,       // .7z .tar .tgz .tar.gz .tbz2 .tar.bz2 .txz .tar.xz .tar.zst .iso .cab .lzh .lha .cpio
    Compressed,   // .gz .bz2 .xz .zst: one compressed file
};

ArchiveKind archiveKindOf(std::string_view fileName);
ArchiveKind archiveKindOf(const QString &fileName);

// The one entry of a compressed file: its name without the compression suffix
// ("notes.txt.gz" -> "notes.txt").
QString compressedEntryName(const QString &fileName);
