#include "documents/documentreader.h"

#include "documents/documentkind.h"
#include "documents/formatreaders.h"
#include "documents/pdfmodule/pdftext.h"
#include "documents/zippackage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

DocumentRead readPackage(const QString &path, DocumentKind kind, const DocumentLineSink &sink)
{
    ZipPackage package(path);
    if (!package.isOpen())
        return DocumentRead::Unreadable;
    switch (kind) {
    case DocumentKind::OfficeText:
        return readOfficeText(package, sink);
    case DocumentKind::OfficeSheet:
        return readOfficeSheet(package, sink);
    case DocumentKind::OfficeSlides:
        return readOfficeSlides(package, sink);
    case DocumentKind::Epub:
        return readEpub(package, sink);
    default:
        return readOpenDocument(package, kind, sink);
    }
}

} // namespace

bool readDocument(const QString &path, const DocumentLineSink &sink, const DiagnosticSink &diagnostics)
{
    // Directories, pipes and devices are not documents (and a pipe would never end).
    if (!QFileInfo(path).isFile())
        return true;
    const DocumentKind kind = documentKindOf(path);
    if (kind == DocumentKind::None)
        return true;
    const DocumentRead outcome = kind == DocumentKind::Pdf ? readPdf(path, sink) : readPackage(path, kind, sink);
    if (outcome == DocumentRead::ReaderMissing) {
        reportDiagnostic(diagnostics, "%s: cannot read document (the PDF reader " QUORVEL_PDF_MODULE_NAME " is not installed)\n",
                         QFile::encodeName(QDir::toNativeSeparators(path)).constData());
        return false;
    }
    if (outcome != DocumentRead::Unreadable)
        return true;
    reportDiagnostic(diagnostics, "%s: cannot read document (damaged or encrypted)\n",
                     QFile::encodeName(QDir::toNativeSeparators(path)).constData());
    return false;
}
