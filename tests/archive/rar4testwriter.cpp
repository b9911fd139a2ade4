#include "rar4testwriter.h"

#include <zlib.h>

namespace {

enum : quint16 { MainVolume = 0x0001, MainNewNumbering = 0x0010, MainFirstVolume = 0x0100, SplitBefore = 0x0001,
                 SplitAfter = 0x0002, Encrypted = 0x0004, Directory = 0x00e0, LongBlock = 0x8000, NextVolume = 0x0001 };

void put(QByteArray &out, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char((v >> (8 * i)) & 0xff);
}

quint32 crc(const QByteArray &bytes)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
}

// A block: the low half of the CRC-32 of everything after the CRC field, then the rest.
QByteArray block(quint8 type, quint16 flags, const QByteArray &fields)
{
    QByteArray body(1, char(type));
    put(body, flags, 2);
    put(body, quint16(7 + fields.size()), 2);
    body += fields;
    QByteArray out;
    put(out, crc(body) & 0xffff, 2);
    return out + body;
}

QByteArray volumeStart(quint16 flags)
{
    return QByteArray("Rar!\x1a\x07\x00", 7) + block(0x73, flags, QByteArray(6, '\0'));
}

QByteArray fileHeader(const Rar4TestEntry &entry, quint16 split, const QByteArray &part, quint32 partCrc, char version)
{
    QByteArray name = entry.name;
    name.replace('/', '\\');
    QByteArray fields;
    put(fields, quint32(part.size()), 4);          // packed size
    put(fields, quint32(entry.data.size()), 4);    // unpacked size
    fields += char(2);                             // host: Win32
    put(fields, partCrc, 4);
    put(fields, (quint32(2020 - 1980) << 25) | (6u << 21) | (15u << 16), 4);
    fields += version;                             // version needed: 2.9, or 2.0 as before RAR 3
    fields += char(0x30);                          // method: store
    put(fields, quint32(name.size()), 2);
    put(fields, entry.directory ? 0x10 : 0x20, 4);
    const quint16 flags = LongBlock | split | (entry.directory ? Directory : 0) | (entry.encrypted ? Encrypted : 0);
    return block(0x74, flags, fields + name) + part;
}

} // namespace

QByteArray rar4Archive(const QList<Rar4TestEntry> &entries)
{
    QByteArray out = volumeStart(0);
    for (const Rar4TestEntry &entry : entries)
        out += fileHeader(entry, 0, entry.data, crc(entry.data), 29);
    return out + block(0x7b, 0, QByteArray());
}

QList<QByteArray> rar4Volumes(const QList<Rar4TestEntry> &entries, const Rar4VolumeOptions &options)
{
    QList<QByteArray> volumes;
    const quint16 setFlags = MainVolume | (options.newNumbering ? MainNewNumbering : 0);
    QByteArray current = volumeStart(setFlags | (options.firstVolumeFlag ? MainFirstVolume : 0));
    int room = options.dataPerVolume;
    for (const Rar4TestEntry &entry : entries) {
        int done = 0;
        do {
            if (room == 0 && entry.data.size() > done) {
                volumes.append(current + block(0x7b, NextVolume, QByteArray()));
                current = volumeStart(setFlags);
                room = options.dataPerVolume;
            }
            const int take = qMin(room, int(entry.data.size()) - done);
            const QByteArray part = entry.data.mid(done, take);
            const quint16 split = (done > 0 ? SplitBefore : 0) | (done + take < entry.data.size() ? SplitAfter : 0);
            // A part that the set continues carries its own CRC; the last one the whole file's.
            const quint32 partCrc = (split & SplitAfter) ? crc(part) : crc(entry.data);
            current += fileHeader(entry, split, part, partCrc, options.firstVolumeFlag ? 29 : 20);
            done += take;
            room -= take;
        } while (done < entry.data.size());
    }
    volumes.append(current + block(0x7b, 0, QByteArray()));
    return volumes;
}
