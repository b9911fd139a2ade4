#include "filedropblocks.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr int dropFilesHeaderSize = 20;
constexpr quint32 dropEffectCopy = 1;
constexpr quint32 dropEffectMove = 2;

void putUInt32(QByteArray &block, int offset, quint32 value)
{
    qToLittleEndian(value, block.data() + offset);
}

} // namespace

QByteArray packFileList(const QStringList &paths)
{
    QByteArray packed;
    for (const QString &path : paths) {
        packed += path.toUtf8();
        packed += '\0';
    }
    return packed;
}

QStringList unpackFileList(const char *files, int length)
{
    QStringList paths;
    int start = 0;
    for (int i = 0; i < length; ++i) {
        if (files[i] == '\0') {
            paths.append(QString::fromUtf8(files + start, i - start));
            start = i + 1;
        }
    }
    return paths;
}

int widenUtf8(const char *bytes, int length, char16_t *out, int capacity)
{
    const QString wide = QString::fromUtf8(bytes, length);
    const int units = std::min(int(wide.size()), capacity);
    std::memcpy(out, wide.utf16(), size_t(units) * sizeof(char16_t));
    return units;
}

FileDropBlocks buildFileDropBlocks(const char *files, int length, bool copy, WidenText widen)
{
    length = std::max(length, 0);
    FileDropBlocks blocks;

    blocks.effect = QByteArray(4, '\0');
    putUInt32(blocks.effect, 0, copy ? dropEffectCopy : dropEffectMove);

    blocks.drop = QByteArray(2 * length + 28, '\0');
    putUInt32(blocks.drop, 0, dropFilesHeaderSize);   // pFiles
    putUInt32(blocks.drop, 4, 0);                     // pt.x
    putUInt32(blocks.drop, 8, 0);                     // pt.y
    putUInt32(blocks.drop, 12, 0);                    // fNC
    putUInt32(blocks.drop, 16, 1);                    // fWide
    if (length > 0) {
        // An 8-bit text never has more UTF-16 units than bytes, so at least four zero
        // characters stay at the end: the list's final terminator.
        QList<char16_t> wide(length, u'\0');
        const int units = std::clamp(widen(files, length, wide.data(), length), 0, length);
        for (int i = 0; i < units; ++i)
            qToLittleEndian(quint16(wide[i]), blocks.drop.data() + dropFilesHeaderSize + 2 * i);
    }
    return blocks;
}
