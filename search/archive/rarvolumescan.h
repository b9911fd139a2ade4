#pragma once

// Reads the block headers of one RAR volume (RAR4 or RAR5) without unpacking anything, for the
// facts that libarchive does not tell: whether the file is one volume of a set and whether more
// volumes follow, whether its headers are encrypted, and which entries carry encrypted data.

#include <cstdint>
#include <string>
#include <vector>

struct RarFileFacts
{
    std::string name;           // as stored: UTF-8 for RAR5, raw bytes for RAR4
    bool encrypted = false;
    bool directory = false;
    bool splitBefore = false;   // continued from the previous volume
    bool splitAfter = false;    // continues in the next volume
};

struct RarVolumeFacts
{
    enum class Format { Unknown, Rar4, Rar5 };
    enum class More { Unknown, Yes, No };  // from the end-of-archive block

    Format format = Format::Unknown;
    bool isVolume = false;
    bool firstVolume = true;
    bool newNumbering = false;   // name.partN.rar rather than name.rar, name.r00, ...
    bool solid = false;
    bool headersEncrypted = false;
    More moreVolumes = More::Unknown;
    std::vector<RarFileFacts> files;

    // Whether the data of the set goes on in a following volume.
    bool expectsNextVolume() const { return isVolume && moreVolumes == More::Yes; }
};

// Scans the volume open as `fd` (positioned reads; the file offset is left alone).
RarVolumeFacts scanRarVolume(int fd);
