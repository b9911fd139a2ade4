#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The file list that copy and cut hand to the clipboard: every path in UTF-8 followed by
// one zero byte. UTF-8 rather than a narrow code page, so that no path loses characters.
QByteArray packFileList(const QStringList &paths);
QStringList unpackFileList(const char *files, int length);

// The two memory blocks of a file drop on the Windows clipboard, byte for byte.
struct FileDropBlocks
{
    // CF_HDROP: 2 * length + 28 bytes: the 20-byte DROPFILES header (pFiles 20, pt (0, 0),
    // fNC 0, fWide 1), then the list in UTF-16, each path ended by a zero character, and
    // zeros to the end of the block, the first of which ends the list.
    QByteArray drop;
    // "Preferred DropEffect": one 32-bit value, 1 to copy, 2 to move.
    QByteArray effect;
};

// Writes the UTF-16 form of `length` bytes of 8-bit text to `out`, which has room for
// `capacity` units, and returns the units written. Zero bytes become zero characters.
using WidenText = int (*)(const char *bytes, int length, char16_t *out, int capacity);

// The UTF-8 reading of the packed list, done by Qt.
int widenUtf8(const char *bytes, int length, char16_t *out, int capacity);

FileDropBlocks buildFileDropBlocks(const char *files, int length, bool copy,
                                   WidenText widen = widenUtf8);
