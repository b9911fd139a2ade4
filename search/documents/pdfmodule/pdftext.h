#pragma once

// The PDF reader is a module of its own ("quorvel-pdf"), loaded when the first PDF is met:
// poppler and the forty-odd libraries below it then cost nothing to start a search that meets
// none. This is the module's one entry point, plain C so that nothing but the name must match.

#include <cstddef>

extern "C" {

// Called before each page (counted from 1); false ends the reading (a stop request).
typedef bool (*QuorvelPdfPage)(void *context, int page);
// One non-empty line of the page's text, UTF-16, without its line end; false ends the reading.
typedef bool (*QuorvelPdfLine)(void *context, int page, const char16_t *text, size_t length);

enum QuorvelPdfOutcome { QuorvelPdfFinished = 0, QuorvelPdfStopped = 1, QuorvelPdfUnreadable = 2 };

// Reads the PDF at the 8-bit `path` page by page: returns a QuorvelPdfOutcome.
typedef int (*QuorvelReadPdf)(const char *path, QuorvelPdfPage page, QuorvelPdfLine line, void *context);

} // extern "C"

#define QUORVEL_PDF_MODULE_NAME "quorvel-pdf"
#define QUORVEL_READ_PDF_SYMBOL "quorvel_read_pdf"
