#pragma once

#include "walk/fileinfo.h"

#include <QByteArray>

struct TSearchOptions;

// Searches the ZIP archive at the 8-bit `archivePath` (trying the name with ".zip" added when
// the name itself does not open). Returns 0, or 1 when neither opens.
int searchZipArchive(const QByteArray &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options);

// Walks the entries of the open archive `zip` (an unzFile) in archive order. Returns 0.
int searchZipEntries(const QByteArray &archivePath, void *zip, QList<TFileInfo> &hits,
                     const TSearchOptions *options);
