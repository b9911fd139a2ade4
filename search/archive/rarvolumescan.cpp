#include "archive/rarvolumescan.h"

#include "archive/positionedread.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

const unsigned char rar4Signature[] = {'R', 'a', 'r', '!', 0x1a, 0x07, 0x00};
const unsigned char rar5Signature[] = {'R', 'a', 'r', '!', 0x1a, 0x07, 0x01, 0x00};

// Self-extracting archives carry a program in front of the signature.
constexpr size_t signatureSearchLimit = 1 << 20;
// No sound header comes near this; a larger size means damage.
constexpr uint64_t headerSizeLimit = 1 << 22;
constexpr size_t maxBlocks = 10'000'000;

uint16_t le16(const unsigned char *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const unsigned char *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Reads a RAR5 variable-length integer at `pos`; false when it runs past `end`.
bool readVint(const unsigned char *data, size_t end, size_t &pos, uint64_t &value)
{
    value = 0;
    for (int shift = 0; shift < 64 && pos < end; shift += 7) {
        const unsigned char byte = data[pos++];
        value |= uint64_t(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

bool findSignatureIn(const std::vector<unsigned char> &head, size_t got, int64_t &offset,
                     RarVolumeFacts::Format &format)
{
    const auto end = head.begin() + std::ptrdiff_t(got);
    for (auto it = head.begin(); (it = std::search(it, end, rar4Signature, rar4Signature + 6)) != end; ++it) {
        const size_t at = size_t(it - head.begin());
        if (at + sizeof rar5Signature <= size_t(got)
            && std::memcmp(&head[at], rar5Signature, sizeof rar5Signature) == 0) {
            offset = int64_t(at + sizeof rar5Signature);
            format = RarVolumeFacts::Format::Rar5;
            return true;
        }
        if (at + sizeof rar4Signature <= size_t(got)
            && std::memcmp(&head[at], rar4Signature, sizeof rar4Signature) == 0) {
            offset = int64_t(at + sizeof rar4Signature);
            format = RarVolumeFacts::Format::Rar4;
            return true;
        }
    }
    return false;
}

bool findSignature(int fd, int64_t &offset, RarVolumeFacts::Format &format)
{
    // Most archives start with the signature; only a self-extractor needs the longer look.
    for (const size_t length : {size_t(4096), signatureSearchLimit}) {
        std::vector<unsigned char> head(length);
        const int64_t got = positionedRead(fd, head.data(), head.size(), 0);
        if (got <= 0)
            return false;
        if (findSignatureIn(head, size_t(got), offset, format))
            return true;
        if (size_t(got) < length)
            return false;
    }
    return false;
}

void scanRar4(int fd, int64_t offset, RarVolumeFacts &facts)
{
    enum : uint8_t { MainHead = 0x73, FileHead = 0x74, NewSubHead = 0x7a, EndArc = 0x7b };
    std::vector<unsigned char> header;
    bool sawMain = false;
    bool firstVolumeFlag = false;
    for (size_t blocks = 0; blocks < maxBlocks; ++blocks) {
        unsigned char base[7];
        if (positionedRead(fd, base, sizeof base, offset) != int64_t(sizeof base))
            return;
        const uint8_t type = base[2];
        const uint16_t flags = le16(base + 3);
        const uint16_t size = le16(base + 5);
        if (size < 7)
            return;
        header.resize(size);
        if (positionedRead(fd, header.data(), size, offset) != int64_t(size))
            return;
        // The low half of a CRC-32 over the header from its type on.
        const uint32_t crc = uint32_t(crc32(0, header.data() + 2, size - 2));
        if ((crc & 0xffff) != le16(header.data()))
            return;

        uint64_t dataSize = 0;
        if (type == FileHead || type == NewSubHead) {
            if (size < 32)
                return;
            dataSize = le32(&header[7]);
            if ((flags & 0x0100) && size >= 40)
                dataSize |= uint64_t(le32(&header[32])) << 32;
        } else if (flags & 0x8000) {
            if (size < 11)
                return;
            dataSize = le32(&header[7]);
        }

        if (type == MainHead && !sawMain) {
            sawMain = true;
            facts.isVolume = flags & 0x0001;
            facts.solid = flags & 0x0008;
            facts.newNumbering = flags & 0x0010;
            facts.headersEncrypted = flags & 0x0080;
            if (facts.headersEncrypted)
                return;  // the following headers cannot be read
            firstVolumeFlag = flags & 0x0100;
        } else if (type == FileHead) {
            const size_t nameAt = (flags & 0x0100) ? 40 : 32;
            const uint16_t nameSize = le16(&header[26]);
            RarFileFacts file;
            if (nameAt + nameSize <= size) {
                const char *name = reinterpret_cast<const char *>(&header[nameAt]);
                file.name.assign(name, strnlen(name, nameSize));
            }
            file.splitBefore = flags & 0x0001;
            file.splitAfter = flags & 0x0002;
            file.encrypted = flags & 0x0004;
            file.directory = (flags & 0x00e0) == 0x00e0;
            // RAR 3.0 and later mark the first volume. Without the mark, a volume named by
            // number is a later one when it starts inside a file or was made by RAR 3.0 or later
            // (unpack version 29 on); the old naming starts with name.rar, always the first.
            if (facts.isVolume && facts.files.empty() && facts.newNumbering && !firstVolumeFlag)
                facts.firstVolume = !file.splitBefore && header[24] < 29;
            facts.files.push_back(std::move(file));
        } else if (type == EndArc) {
            facts.moreVolumes = (flags & 0x0001) ? RarVolumeFacts::More::Yes : RarVolumeFacts::More::No;
            return;
        }
        offset += int64_t(size) + int64_t(dataSize);
    }
}

void scanRar5(int fd, int64_t offset, RarVolumeFacts &facts)
{
    enum : uint64_t { MainHead = 1, FileHead = 2, CryptHead = 4, EndArc = 5 };
    enum : uint64_t { HasExtra = 0x0001, HasData = 0x0002, SplitBefore = 0x0008, SplitAfter = 0x0010 };
    std::vector<unsigned char> header;
    for (size_t blocks = 0; blocks < maxBlocks; ++blocks) {
        unsigned char start[4 + 3];
        if (positionedRead(fd, start, sizeof start, offset) != int64_t(sizeof start))
            return;
        size_t pos = 4;
        uint64_t size = 0;
        if (!readVint(start, sizeof start, pos, size) || size == 0 || size > headerSizeLimit)
            return;
        const size_t total = pos + size_t(size);
        header.resize(total);
        if (positionedRead(fd, header.data(), total, offset) != int64_t(total))
            return;
        if (uint32_t(crc32(0, header.data() + 4, uInt(total - 4))) != le32(header.data()))
            return;

        uint64_t type = 0, flags = 0, extraSize = 0, dataSize = 0;
        if (!readVint(header.data(), total, pos, type) || !readVint(header.data(), total, pos, flags))
            return;
        if ((flags & HasExtra) && !readVint(header.data(), total, pos, extraSize))
            return;
        if ((flags & HasData) && !readVint(header.data(), total, pos, dataSize))
            return;
        if (extraSize > total - pos)
            return;
        const size_t extraAt = total - size_t(extraSize);

        if (type == CryptHead) {
            facts.headersEncrypted = true;
            return;
        }
        if (type == MainHead) {
            uint64_t archiveFlags = 0;
            if (!readVint(header.data(), extraAt, pos, archiveFlags))
                return;
            facts.isVolume = archiveFlags & 0x0001;
            facts.solid = archiveFlags & 0x0004;
            facts.newNumbering = true;
            uint64_t volumeNumber = 0;
            if ((archiveFlags & 0x0002) && readVint(header.data(), extraAt, pos, volumeNumber))
                facts.firstVolume = volumeNumber == 0;
        } else if (type == FileHead) {
            uint64_t fileFlags = 0, unpackedSize = 0, attributes = 0, compression = 0, hostOs = 0, nameLength = 0;
            if (!readVint(header.data(), extraAt, pos, fileFlags)
                || !readVint(header.data(), extraAt, pos, unpackedSize)
                || !readVint(header.data(), extraAt, pos, attributes))
                return;
            pos += (fileFlags & 0x0002) ? 4 : 0;  // modification time
            pos += (fileFlags & 0x0004) ? 4 : 0;  // data CRC
            if (!readVint(header.data(), extraAt, pos, compression) || !readVint(header.data(), extraAt, pos, hostOs)
                || !readVint(header.data(), extraAt, pos, nameLength) || nameLength > extraAt - pos)
                return;
            RarFileFacts file;
            file.name.assign(reinterpret_cast<const char *>(&header[pos]), size_t(nameLength));
            file.directory = fileFlags & 0x0001;
            file.splitBefore = flags & SplitBefore;
            file.splitAfter = flags & SplitAfter;
            // Extra records: size (from the type on), type, data. Type 1 is file encryption.
            size_t record = extraAt;
            while (record < total) {
                uint64_t recordSize = 0, recordType = 0;
                size_t at = record;
                if (!readVint(header.data(), total, at, recordSize) || recordSize == 0
                    || recordSize > total - at)
                    break;
                const size_t next = at + size_t(recordSize);
                if (readVint(header.data(), next, at, recordType) && recordType == 0x01)
                    file.encrypted = true;
                record = next;
            }
            facts.files.push_back(std::move(file));
        } else if (type == EndArc) {
            uint64_t endFlags = 0;
            if (readVint(header.data(), extraAt, pos, endFlags))
                facts.moreVolumes = (endFlags & 0x0001) ? RarVolumeFacts::More::Yes : RarVolumeFacts::More::No;
            return;
        }
        offset += int64_t(total) + int64_t(dataSize);
    }
}

} // namespace

RarVolumeFacts scanRarVolume(int fd)
{
    RarVolumeFacts facts;
    int64_t offset = 0;
    if (!findSignature(fd, offset, facts.format))
        return facts;
    if (facts.format == RarVolumeFacts::Format::Rar4)
        scanRar4(fd, offset, facts);
    else
        scanRar5(fd, offset, facts);
    return facts;
}
