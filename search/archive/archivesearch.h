#pragma once

#include "walk/fileinfo.h"

#include <QString>

#include <string_view>

struct TSearchOptions;

// Appends the hits found inside the archive at `archivePath` (chosen by its suffix, in any
// case, see archivekind.h; other files are passed over): entries whose names match, or for a
// content search the matching lines of those entries.
void searchArchive(const QString &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options);
// The same for the 8-bit path the walk opens.
void searchArchiveFile(const QByteArray &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options);
// False when a look inside the file so named cannot give a hit: in a name search, a compressed
// file whose one entry (named by the file, "notes.txt.gz" -> "notes.txt") neither matches nor is
// an archive. Told from the name's bytes, with no path or text built: a tree holds many of them.
bool archiveMayHaveHits(std::string_view rawFileName, const TSearchOptions *options);
