#pragma once

#include "walk/fileinfo.h"

#include <QString>

#include <functional>
#include <string>

class ExtractionPlace;
struct TSearchOptions;

// An archive entry that is itself opened: an archive inside the archive, or (for a content
// search) a document whose text is read. It is extracted to the extraction file of its depth
// ("nested2.tmp", "nested3.docx"), never by its own name, and searched there; its hits are
// named after the outer path ("a.zip/b.tar.gz/c/report.docx").

enum class NestedKind { None, Archive, Document };

// What the entry `entryName` of an archive at `depth` (the archive on disk is 1) is opened as:
// nothing past the depth limit, nor when archives are not read.
NestedKind nestedKindOf(const TSearchOptions *options, const QString &entryName, int depth);

enum class EntryExtraction { Written, NotWritten, Stopped };
// Writes the current entry's data to the file at `path`, made afresh.
using EntryWriter = std::function<EntryExtraction(const std::string &path)>;

// Opens the archive extracted to the 8-bit `path` (searchInnerArchive of packedsearch.h, one
// level deeper, its hits named after the entry).
using InnerArchiveOpener = std::function<void(const QByteArray &path)>;

// Extracts the entry through `write` and searches what it holds: a document itself, an archive
// through `open`. `hitName` is the entry's own hit name, `depth` that of the archive holding it.
// Stopped when the stop came meanwhile.
EntryExtraction searchNestedEntry(NestedKind kind, const QString &entryName, const QString &hitName, int depth,
                                  const EntryWriter &write, const InnerArchiveOpener &open, QList<TFileInfo> &hits,
                                  const TSearchOptions *options, ExtractionPlace &place);
