#pragma once

#include "walk/fileinfo.h"

struct TSearchOptions;

// The content search as its definition reads, done the straightforward way: the whole file is
// decoded at once and split into lines. The engine's fast search must give exactly these hits.
QList<TFileInfo> referenceGrep(const TSearchOptions &options, const QString &path, const QString &displayName);
