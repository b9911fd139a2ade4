#pragma once

#include "walk/fileinfo.h"

struct TSearchOptions;

// Appends one hit per line of the document at `path` that holds the search text, as
// grepFile does for plain files: the same case rule, the line's first 80 characters shown,
// but the line number is the line's place (paragraph, row, slide or page number). A sheet's
// row is searched in its cells, not in the "[sheet]" before them. Deep search reads the
// document once, as text has no codec to try. A document that cannot be read gives one
// diagnostic through the options' sink.
void grepDocument(const TSearchOptions *options, const QString &path, QList<TFileInfo> &hits,
                  const QString &displayName);
