#include "rar4testwriter.h"

#include <zlib.h>

namespace {

enum : quint8 { MainHead = 0x73, FileHead = 0x74, EndArc = 0x7b };
enum : quint16 {
    MainVolume = 0x0001,
    MainNewNumbering = 0x0010,
    MainFirstVolume = 0x0100,
    FileSplitBefore = 0x0001,
    FileSplitAfter = 0x0002,
    FileEncrypted = 0x0004,
    FileDirectory = 0x00e0,
    LongBlock = 0x8000,
    EndNextVolume = 0x0001,
};

const QByteArray marker("Rar!\x1a\x07\x00", 7);

void put16(QByteArray &out, quint16 v)
{
    out += char(v & 0xff);
    out += char(v >> 8);
}

void put32(QByteArray &out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 0xff);
}

quint32 crc(const QByteArray &bytes)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
}

// A block: the low half of the CRC-32 of everything after the CRC field, then the rest.
QByteArray block(quint8 type, quint16 flags, const QByteArray &fields)
{
    QByteArray body;
    body += char(type);
    put16(body, flags);
    put16(body, quint16(2 + 1 + 2 + 2 + fields.size()));
    body += fields;
    QByteArray out;
    put16(out, quint16(crc(body) & 0xffff));
    return out + body;
}

QByteArray mainHeader(quint16 flags)
{
    return block(MainHead, flags, QByteArray(6, '\0'));
}

QByteArray fileHeader(const Rar4TestEntry &entry, quint16 extraFlags, const QByteArray &part, quint32 partCrc,
                      char version = 29)
{
    QByteArray name = entry.name;
    name.replace('/', '\\');
    const quint16 flags = LongBlock | extraFlags | (entry.directory ? FileDirectory : 0)
                          | (entry.encrypted ? FileEncrypted : 0);
    QByteArray fields;
    put32(fields, quint32(part.size()));        // packed size
    put32(fields, quint32(entry.data.size()));  // unpacked size
    fields += char(2);                          // host: Win32
    put32(fields, partCrc);
    put32(fields, (quint32(2020 - 1980) << 25) | (6u << 21) | (15u << 16) | (12u << 11));
    fields += version;                          // version needed: 2.9, or 2.0 as before RAR 3
    fields += char(0x30);                       // method: store
    put16(fields, quint16(name.size()));
    put32(fields, entry.directory ? 0x10 : 0x20);
    fields += name;
    return block(FileHead, flags, fields) + part;
}

QByteArray endBlock(quint16 flags)
{
    return block(EndArc, flags, QByteArray());
}

} // namespace

QByteArray rar4Archive(const QList<Rar4TestEntry> &entries)
{
    QByteArray out = marker + mainHeader(0);
    for (const Rar4TestEntry &entry : entries)
        out += fileHeader(entry, 0, entry.data, crc(entry.data));
    return out + endBlock(0);
}

QList<QByteArray> rar4Volumes(const QList<Rar4TestEntry> &entries, const Rar4VolumeOptions &options)
{
    QList<QByteArray> volumes;
    QByteArray current;
    int room = options.dataPerVolume;
    auto startVolume = [&] {
        quint16 flags = MainVolume | (options.newNumbering ? MainNewNumbering : 0);
        if (volumes.isEmpty() && options.firstVolumeFlag)
            flags |= MainFirstVolume;
        current = marker + mainHeader(flags);
        room = options.dataPerVolume;
    };
    auto finishVolume = [&](bool more) {
        volumes.append(current + endBlock(more ? EndNextVolume : 0));
    };
    startVolume();
    for (const Rar4TestEntry &entry : entries) {
        int done = 0;
        do {
            if (room == 0 && entry.data.size() > done) {
                finishVolume(true);
                startVolume();
            }
            const int take = qMin(room, int(entry.data.size()) - done);
            const QByteArray part = entry.data.mid(done, take);
            quint16 split = 0;
            if (done > 0)
                split |= FileSplitBefore;
            if (done + take < entry.data.size())
                split |= FileSplitAfter;
            // A part that the set continues carries its own CRC; the last one the whole file's.
            const quint32 partCrc = (split & FileSplitAfter) ? crc(part) : crc(entry.data);
            current += fileHeader(entry, split, part, partCrc, options.firstVolumeFlag ? 29 : 20);
            done += take;
            room -= take;
        } while (done < entry.data.size());
    }
    finishVolume(false);
    return volumes;
}
