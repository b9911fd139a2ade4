#pragma once

#include "fileinfo.h"

struct TSearchOptions;

// Appends one hit per line of the file at `path` that holds the search text.
void grepFile(const TSearchOptions *options, const QString &path, QList<TFileInfo> &hits,
              const QString &displayName);
