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

bool holdsHzEscape(const unsigned char *data, size_t size, bool &pending)
{
    size_t i = 0;
    if (pending && size > 0) {
        pending = false;
        if (data[0] == '{' || data[0] == '\n')
            return true;
        i = 1;
    }
    while (i < size) {
        const void *hit = std::memchr(data + i, '~', size - i);
        if (!hit)
            return false;
        i = size_t(static_cast<const unsigned char *>(hit) - data) + 1;
        if (i == size) {
            pending = true;
            return false;
        }
        if (data[i] == '{' || data[i] == '\n')
            return true;
        ++i;   // skips the second tilde of "~~" as well
    }
    return false;
}

void FileFacts::learnFrom(const unsigned char *data, size_t size, bool hz)
{
    categories = bytecategory::present(data, size);
    bool pending = false;
    if (hz && (categories & bytecategory::Tilde))
        hzEscapes = holdsHzEscape(data, size, pending);
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
        if (hz && !hzEscapes)
            hzEscapes = holdsHzEscape(buffer.data(), size_t(got), pending);
        offset += got;
    }
    return true;
}
