#pragma once

#include "documents/documentkind.h"
#include "documents/documentline.h"

class ZipPackage;

// How the reading of one document ended.
enum class DocumentRead { Finished, Stopped, Unreadable, ReaderMissing };

// One reader per family of formats; readDocument picks by kind.
DocumentRead readOfficeText(ZipPackage &package, const DocumentLineSink &sink);
DocumentRead readOfficeSheet(ZipPackage &package, const DocumentLineSink &sink);
DocumentRead readOfficeSlides(ZipPackage &package, const DocumentLineSink &sink);
DocumentRead readOpenDocument(ZipPackage &package, DocumentKind kind, const DocumentLineSink &sink);
DocumentRead readEpub(ZipPackage &package, const DocumentLineSink &sink);
DocumentRead readPdf(const QString &path, const DocumentLineSink &sink);
