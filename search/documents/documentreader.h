#pragma once

#include "documents/documentline.h"
#include "walk/diagnostics.h"

// Reads the text of the document at `path`, of the kind its name announces, and hands each
// line to `sink` in reading order, streaming: memory stays bounded whatever the document's
// size, and a stop request ends the reading within a piece. A document that cannot be read
// (damaged, encrypted, not of its kind) gives one line to `diagnostics` and false; lines
// read before the damage was found have been handed over. A path that is not a regular
// file gives nothing and true.
bool readDocument(const QString &path, const DocumentLineSink &sink, const DiagnosticSink &diagnostics);
