#pragma once

#include "walk/fileinfo.h"

#include <QString>

struct TSearchOptions;

// Appends the hits found inside the archive at `archivePath` (chosen by its suffix, in any
// case, see archivekind.h; other files are passed over): entries whose names match, or for a
// content search the matching lines of those entries.
void searchArchive(const QString &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options);
// The same for the 8-bit path the walk opens.
void searchArchiveFile(const QByteArray &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options);
