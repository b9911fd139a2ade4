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
    bool hzShiftIn = false;                    // "~{" somewhere
    bool hzContinuation = false;               // "~\n" somewhere

    // The mark a text stream detects: UTF-32 (four bytes) first, then UTF-16, then UTF-8.
    static Mark markOf(const unsigned char *data, size_t size);
    // Categories (and HZ escapes, if `hz`) of a file held in memory whole...
    void learnFrom(const unsigned char *data, size_t size, bool hz);
    // ...or of a larger one, read through `buffer` once. False if the search was stopped.
    bool learnFrom(FileBytes &file, ReadBuffer &buffer, qint64 chunk, bool hz);

    unsigned key() const
    {
        return categories | unsigned(mark) << 6 | (hzShiftIn ? 1u << 9 : 0u) | (hzContinuation ? 1u << 10 : 0u);
    }
    // The bytes a file with these categories can hold.
    ByteSet possibleBytes() const { return ~bytecategory::bytesOf(bytecategory::All & ~categories); }
};

// Notes whether HZ text holds "~{" (a switch to GB2312) and "~\n" (a line continuation); "~~" is
// a tilde. `pending`: the data before ended in an unpaired tilde.
void findHzEscapes(const unsigned char *data, size_t size, bool &pending, bool &shiftIn, bool &continuation);
