#pragma once

#include "walk/diagnostics.h"
#include "walk/fileinfo.h"

#include <QByteArray>

#include <cstdint>

struct TSearchOptions;

// Searches the RAR archive (or volume set starting) at the 8-bit `archivePath`.
void searchRarArchive(const QByteArray &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options);

// What went wrong with a RAR archive, written to the sink. `errorKind`: 0 open, 1 reading a
// header, 2 processing an entry. Success and the end of the archive write nothing.
void reportRarError(const DiagnosticSink &diagnostics, int code, const QByteArray &archivePath, int errorKind);

// Answers the RAR reader's questions, writing to the sink of the options passed as `userData`
// (nothing when null): a missing volume gives the archive up (nobody is asked), a password is
// not given; a stop request cancels an extraction.
int rarCallback(unsigned int msg, intptr_t userData, intptr_t p1, intptr_t p2);
