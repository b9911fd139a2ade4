#pragma once

#include "walk/fileinfo.h"

struct TSearchOptions;

// Searches one file with the content search of the running search (`options->contentSearch`),
// or, where the options carry none, with one made for this file alone. See ContentSearch.
void grepFile(const TSearchOptions *options, const QString &path, QList<TFileInfo> &hits,
              const QString &displayName);
#ifdef Q_OS_UNIX
// The same for the file `name` (file-system bytes) in the directory open at `dirFd`.
void grepFileAt(const TSearchOptions *options, int dirFd, const QByteArray &name, QList<TFileInfo> &hits,
                const QString &displayName);
#endif
// The same for `size` bytes held in memory (an archive entry read whole), searched as a file
// holding them: the same hits, line numbers and deep-search passes.
void grepMemory(const TSearchOptions *options, const unsigned char *data, qint64 size, QList<TFileInfo> &hits,
                const QString &displayName);
