#pragma once

#include "content/bytecategory.h"

#include <QtGlobal>

class FileBytes;
class ReadBuffer;

// What a file's bytes tell before any pass runs: its byte-order mark, which categories of
// bytes it holds, whether it holds HZ escapes.
struct FileFacts
{
    enum Mark : unsigned { NoMark, Utf8Mark, Utf16LeMark, Utf16BeMark, Utf32LeMark, Utf32BeMark };
    unsigned categories = bytecategory::All;   // byte categories present (all, if not looked at)
    Mark mark = NoMark;
    bool hzEscapes = false;                    // "~{" or "~\n" somewhere

    // The mark a text stream detects: UTF-32 (four bytes) first, then UTF-16, then UTF-8.
    static Mark markOf(const unsigned char *data, size_t size);
    // Categories (and HZ escapes, if `hz`) of a file held in memory whole...
    void learnFrom(const unsigned char *data, size_t size, bool hz);
    // ...or of a larger one, read through `buffer` once. False if the search was stopped.
    bool learnFrom(FileBytes &file, ReadBuffer &buffer, qint64 chunk, bool hz);

    unsigned key() const { return categories | unsigned(mark) << 6 | (hzEscapes ? 1u << 9 : 0u); }
    // The bytes a file with these categories can hold.
    ByteSet possibleBytes() const { return ~bytecategory::bytesOf(bytecategory::All & ~categories); }
};

// Whether HZ text holds "~{" (a switch to GB2312) or "~\n" (a line continuation); "~~" is a
// tilde. `pending`: the data before ended in an unpaired tilde.
bool holdsHzEscape(const unsigned char *data, size_t size, bool &pending);
