// PDF through poppler: page by page, the page's text laid out as on the page and split into
// lines; the place is the page's number.

#include "documents/formatreaders.h"
#include "walk/stoprequest.h"

#include <QFile>

#include <poppler-document.h>
#include <poppler-page.h>

#include <memory>
#include <mutex>
#include <string>

namespace {

// Poppler writes the faults it meets in a file to standard error; a damaged file is
// reported by the search's own diagnostic instead.
void ignorePopplerMessage(const std::string &, void *)
{
}

QString toQString(const poppler::ustring &text)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text.data()), qsizetype(text.size()));
}

} // namespace

DocumentRead readPdf(const QString &path, const DocumentLineSink &sink)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { poppler::set_debug_error_function(ignorePopplerMessage, nullptr); });
    std::unique_ptr<poppler::document> document(poppler::document::load_from_file(QFile::encodeName(path).toStdString()));
    if (!document || document->is_locked())
        return DocumentRead::Unreadable;
    const int pages = document->pages();
    for (int index = 0; index < pages; ++index) {
        if (searchStopRequested())
            return DocumentRead::Stopped;
        const std::unique_ptr<poppler::page> page(document->create_page(index));
        if (!page)
            continue;
        const QString text = toQString(page->text());
        for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
            while (line.endsWith(QLatin1Char('\r')) || line.endsWith(QLatin1Char('\f')))
                line.chop(1);
            if (!line.isEmpty() && !sink(index + 1, line.toString()))
                return DocumentRead::Stopped;
        }
    }
    return DocumentRead::Finished;
}
