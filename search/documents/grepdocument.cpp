#include "documents/grepdocument.h"

#include "documents/documentkind.h"
#include "documents/documentreader.h"
#include "walk/searchoptions.h"
#include "walk/stoprequest.h"

namespace {

// A hit shows the first characters of its line, as a plain file's hit does.
constexpr qsizetype shownLength = 80;

} // namespace

void grepDocument(const TSearchOptions *options, const QString &path, QList<TFileInfo> &hits,
                  const QString &displayName)
{
    const QString &needle = options->grepText;
    if (needle.isEmpty())
        return;
    const Qt::CaseSensitivity cs = options->caseSensitivity;
    const bool sheet = isSheetKind(documentKindOf(path));
    const auto searchLine = [&](int place, const QString &line) {
        QStringView cells = line;
        if (sheet) {
            // Sheet names cannot hold brackets, so the first "]\t" ends the name.
            const qsizetype end = line.indexOf(QLatin1String("]\t"));
            cells = cells.mid(end < 0 ? 0 : end + 2);
        }
        if (cells.contains(needle, cs))
            hits.append(TFileInfo{displayName, place, line.left(shownLength)});
        return !searchStopRequested();
    };
    readDocument(path, searchLine, options->diagnostics);
}
