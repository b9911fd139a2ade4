#pragma once

#include <QByteArray>

#include <functional>

// Where the engine's diagnostics go (a damaged archive, a missing volume, a document it cannot
// read): the exact texts, byte for byte, called on the worker thread. The window keeps the
// default, standard output; the command line passes one that writes to standard error.
using DiagnosticSink = std::function<void(const QByteArray &text)>;

// Writes each text to standard output and flushes it.
DiagnosticSink standardOutputSink();

// Formats like printf and hands the text to `sink` (nothing when the sink is empty).
void reportDiagnostic(const DiagnosticSink &sink, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
