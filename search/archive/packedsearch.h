#pragma once

#include "archive/archivekind.h"
#include "archive/nestedentry.h"
#include "walk/fileinfo.h"

#include <QByteArray>
#include <QString>

class ExtractionPlace;
struct TSearchOptions;

// An archive read through libarchive: where it is opened, what its hits are named after, and
// how many archives hold it (the one on disk is 1).
struct PackedArchive
{
    QByteArray path;      // 8-bit, a regular file
    QString hitPrefix;    // "backup.7z", or "a.zip/b.tar.gz" for one inside another
    int depth = 1;
};

// Walks the entries of a 7z, tar (plain or compressed), ISO, CAB, LHA or cpio archive, and of
// ZIP and RAR archives found inside other archives: names are matched, the matching entries'
// data is read one entry at a time and searched in memory (a large entry in the search's
// "archive.tmp"); archives and documents inside are opened too (nestedentry.h). An entry that
// expands past the options' limits is left, with the rest of its archive, after one diagnostic.
void searchPackedArchive(const PackedArchive &archive, QList<TFileInfo> &hits, const TSearchOptions *options);

// The one entry of a compressed file (.gz .bz2 .xz .zst), named `entryName`.
void searchCompressedFile(const PackedArchive &archive, const QString &entryName, QList<TFileInfo> &hits,
                          const TSearchOptions *options);

// Opens the archive of kind `kind` extracted from another one to `openPath` (or, at depth 1, the
// .7z/tar/... or compressed file on disk): its hits are named `hitPrefix`, separator, entry
// path; `fileName` is its own name. Inside another archive, ZIP and RAR are read by libarchive
// too: one file, no volumes.
void searchInnerArchive(ArchiveKind kind, const QByteArray &openPath, const QString &hitPrefix,
                        const QString &fileName, int depth, QList<TFileInfo> &hits, const TSearchOptions *options);

// searchNestedEntry (nestedentry.h) for the entry `entryName` of an archive at `depth`, an inner
// archive opened by searchInnerArchive: how the ZIP, RAR and libarchive readers open what they hold.
EntryExtraction searchHeldEntry(NestedKind kind, const QString &entryName, const QString &hitName, int depth,
                                const EntryWriter &write, QList<TFileInfo> &hits, const TSearchOptions *options,
                                ExtractionPlace &place);
