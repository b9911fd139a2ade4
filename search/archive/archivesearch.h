#pragma once

#include "walk/fileinfo.h"

#include <QByteArray>

struct TSearchOptions;

// Appends the hits found inside the ZIP or RAR archive at `archivePath` (chosen by its suffix,
// in any case; other files are passed over): entries whose names match, or for a content
// search the matching lines of those entries.
void searchArchive(const QString &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options);

// Whether the last "/"-separated part of an entry's path matches one of the name matchers.
bool matchEntryName(const TSearchOptions *options, const QString &entryName);

// The name a hit inside the archive at `archivePath` carries: the archive's file name, the
// native separator, and the entry's path with native separators.
QString archiveHitName(const QByteArray &archivePath, const QString &entryName);

// The temporary file ("zip.tmp" or "rar.tmp") that entries are extracted to for a content search,
// in the folder the options name ("tmp" under the working directory when they name none).
QString archiveTempFile(const TSearchOptions *options, const char *fileName);
