#pragma once

#include "documents/documentkind.h"
#include "documents/documentline.h"
#include "documents/pdfmodule/pdftext.h"
#include "documents/xmlpart.h"

class ZipPackage;

// How the reading of one document ended.
enum class DocumentRead { Finished, Stopped, Unreadable, ReaderMissing };

// One reader per family of formats; readDocument picks by kind. The Office Open XML readers
// take the parser (the reference one proves the fast one in the tests).
DocumentRead readOfficeText(ZipPackage &package, const DocumentLineSink &sink, XmlParser parser = XmlParser::Fast);
DocumentRead readOfficeSheet(ZipPackage &package, const DocumentLineSink &sink, XmlParser parser = XmlParser::Fast);
DocumentRead readOfficeSlides(ZipPackage &package, const DocumentLineSink &sink, XmlParser parser = XmlParser::Fast);
DocumentRead readOpenDocument(ZipPackage &package, DocumentKind kind, const DocumentLineSink &sink);
DocumentRead readEpub(ZipPackage &package, const DocumentLineSink &sink);
DocumentRead readPdf(const QString &path, const DocumentLineSink &sink);
// The same through the module's entry `read` (pdfmodule/pdftext.h); the tests give their own.
DocumentRead readPdfWith(QuorvelReadPdf read, const QString &path, const DocumentLineSink &sink);
