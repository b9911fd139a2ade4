// PDF documents: read by the "quorvel-pdf" module (pdfmodule/), loaded on the first PDF from
// beside the program or from its installed module folder.

#include "documents/formatreaders.h"
#include "documents/pdfmodule/pdftext.h"
#include "walk/stoprequest.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibrary>

namespace {

QuorvelReadPdf loadPdfReader()
{
    // Where `cmake --install` puts the module, relative to the program; tests run one folder deeper.
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString folders[] = {appDir, appDir + QStringLiteral("/" QUORVEL_PDF_MODULE_DIR),
                               appDir + QStringLiteral("/../" QUORVEL_PDF_MODULE_DIR)};
    for (const QString &folder : folders) {
        QLibrary module(folder + QStringLiteral("/" QUORVEL_PDF_MODULE_NAME));
        if (auto read = reinterpret_cast<QuorvelReadPdf>(module.resolve(QUORVEL_READ_PDF_SYMBOL)))
            return read;   // a loaded module stays loaded: QLibrary unloads only when asked
    }
    return nullptr;
}

bool atPage(void *, int)
{
    return !searchStopRequested();
}

bool onLine(void *context, int page, const char16_t *text, size_t length)
{
    const auto &sink = *static_cast<const DocumentLineSink *>(context);
    return sink(page, QString::fromUtf16(text, qsizetype(length)));
}

} // namespace

DocumentRead readPdf(const QString &path, const DocumentLineSink &sink)
{
    static const QuorvelReadPdf read = loadPdfReader();   // once, whichever worker comes first
    if (!read)
        return DocumentRead::ReaderMissing;
    const QByteArray path8 = QFile::encodeName(path);
    switch (read(path8.constData(), atPage, onLine, const_cast<DocumentLineSink *>(&sink))) {
    case QuorvelPdfFinished:
        return DocumentRead::Finished;
    case QuorvelPdfStopped:
        return DocumentRead::Stopped;
    default:
        return DocumentRead::Unreadable;
    }
}
