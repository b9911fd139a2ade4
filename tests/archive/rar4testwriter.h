#pragma once

#include <QByteArray>
#include <QList>

// Writes RAR 4 archives with stored (uncompressed) entries, from the published block layout:
// marker, archive header, one file header per entry followed by its data, end block.
struct Rar4TestEntry
{
    QByteArray name;         // "/"-separated; stored with "\" as RAR does
    QByteArray data;
    bool directory = false;
    bool encrypted = false;  // only the flag: the data is stored as given
};

struct Rar4VolumeOptions
{
    int dataPerVolume = 0;   // bytes of entry data a volume holds before the set goes on
    bool newNumbering = true;
    bool firstVolumeFlag = true;  // false: a set as RAR 2 made them (no flag, version 2.0)
};

QByteArray rar4Archive(const QList<Rar4TestEntry> &entries);
// The volumes of a set holding `entries`, an entry's data split where a volume is full.
QList<QByteArray> rar4Volumes(const QList<Rar4TestEntry> &entries, const Rar4VolumeOptions &options);
