// PDF through poppler: page by page, the page's text laid out as on the page and split into
// lines. Built as the module of pdftext.h; of Qt it takes only the export mark.

#include "pdftext.h"

#include <QtCore/qglobal.h>

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

bool isLineEnd(char16_t c)
{
    return c == u'\r' || c == u'\f';
}

} // namespace

extern "C" Q_DECL_EXPORT int quorvel_read_pdf(const char *path, QuorvelPdfPage atPage, QuorvelPdfLine onLine,
                                              void *context)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { poppler::set_debug_error_function(ignorePopplerMessage, nullptr); });
    const std::unique_ptr<poppler::document> document(poppler::document::load_from_file(path));
    if (!document || document->is_locked())
        return QuorvelPdfUnreadable;
    const int pages = document->pages();
    for (int index = 0; index < pages; ++index) {
        if (!atPage(context, index + 1))
            return QuorvelPdfStopped;
        const std::unique_ptr<poppler::page> page(document->create_page(index));
        if (!page)
            continue;
        const poppler::ustring text = page->text();
        const char16_t *units = reinterpret_cast<const char16_t *>(text.data());
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = start;
            while (end < text.size() && units[end] != u'\n')
                ++end;
            size_t length = end - start;
            while (length > 0 && isLineEnd(units[start + length - 1]))
                --length;
            if (length > 0 && !onLine(context, index + 1, units + start, length))
                return QuorvelPdfStopped;
            start = end + 1;
        }
    }
    return QuorvelPdfFinished;
}
