#pragma once

#include "fileinfo.h"

struct TSearchOptions;

// Appends the hits found inside the ZIP or RAR archive at `archivePath`.
void searchArchive(const QString &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options);
