#pragma once

#include "walk/fileinfo.h"

struct TSearchOptions;

// Searches `size` bytes held in memory (an archive entry read whole) as grepFile searches a
// file holding them: the same hits, line numbers and deep-search passes.
void grepMemory(const TSearchOptions *options, const unsigned char *data, qint64 size, QList<TFileInfo> &hits,
                const QString &displayName);
