#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class ExtractionPlace;
struct TSearchOptions;

// What both archive readers share: matching an entry's name, naming its hit, and the place
// its data is extracted to.

// Whether the last "/"-separated part of an entry's path matches one of the name filters.
bool matchEntryName(const TSearchOptions *options, const QString &entryName);

// The name a hit inside the archive at `archivePath` carries: the archive's file name, the
// native separator, and the entry's path with native separators.
QString archiveHitName(const QByteArray &archivePath, const QString &entryName);

// The search's extraction place, or a new one kept in `own` when the search has none.
ExtractionPlace &extractionPlaceFor(const TSearchOptions *options, std::unique_ptr<ExtractionPlace> &own);
