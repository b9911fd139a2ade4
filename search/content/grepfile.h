#pragma once

#include "walk/fileinfo.h"

struct TSearchOptions;

// Appends one hit per line of the file at `path` that holds the search text: read with the
// system codec (or the Unicode codec a byte-order mark names), or under deep search once per
// entry of `codecTexts`, each line number reported by the first pass that finds it, its text
// shown as "[codec]\t" and the line recoded through GB18030. A directory, a missing or
// unreadable path, a pipe or a device gives no hit. Memory stays bounded by a few chunks of
// the file, however long its lines; a stop request ends the search inside the file.
void grepFile(const TSearchOptions *options, const QString &path, QList<TFileInfo> &hits,
              const QString &displayName);
