#include "content/filefacts.h"

#include "content/filebytes.h"
#include "content/readbuffer.h"
#include "walk/stoprequest.h"

#include <cstring>

FileFacts::Mark FileFacts::markOf(const unsigned char *d, size_t size)
{
    if (size > 3) {
        if (d[0] == 0x00 && d[1] == 0x00 && d[2] == 0xfe && d[3] == 0xff)
            return Utf32BeMark;
        if (d[0] == 0xff && d[1] == 0xfe && d[2] == 0x00 && d[3] == 0x00)
            return Utf32LeMark;
    }
    if (size < 2)
        return NoMark;
    if (d[0] == 0xfe && d[1] == 0xff)
        return Utf16BeMark;
    if (d[0] == 0xff && d[1] == 0xfe)
        return Utf16LeMark;
    if (size < 3)
        return NoMark;
    if (d[0] == 0xef && d[1] == 0xbb && d[2] == 0xbf)
        return Utf8Mark;
    return NoMark;
}

void findHzEscapes(const unsigned char *data, size_t size, bool &pending, bool &shiftIn, bool &continuation)
{
    const auto note = [&](unsigned char second) {
        shiftIn = shiftIn || second == '{';
        continuation = continuation || second == '\n';
    };
    size_t i = 0;
    if (pending && size > 0) {
        pending = false;
        note(data[0]);
        i = 1;
    }
    while (i < size && !(shiftIn && continuation)) {
        const void *hit = std::memchr(data + i, '~', size - i);
        if (!hit)
            return;
        i = size_t(static_cast<const unsigned char *>(hit) - data) + 1;
        if (i == size) {
            pending = true;
            return;
        }
        note(data[i]);
        ++i;   // skips the second tilde of "~~" as well
    }
}

void FileFacts::learnFrom(const unsigned char *data, size_t size, bool hz)
{
    categories = bytecategory::present(data, size);
    bool pending = false;
    if (hz && (categories & bytecategory::Tilde))
        findHzEscapes(data, size, pending, hzShiftIn, hzContinuation);
}

bool FileFacts::learnFrom(FileBytes &file, ReadBuffer &buffer, qint64 chunk, bool hz)
{
    categories = 0;
    bool pending = false;
    for (qint64 offset = 0; offset < file.size();) {
        if (searchStopRequested())
            return false;
        const qint64 got = file.readAt(offset, buffer.data(), std::min(chunk, file.size() - offset));
        if (got <= 0) {
            file.limitSize(offset);
            break;
        }
        categories |= bytecategory::present(buffer.data(), size_t(got));
        if (hz)
            findHzEscapes(buffer.data(), size_t(got), pending, hzShiftIn, hzContinuation);
        offset += got;
    }
    return true;
}
