#include "archive/nestedentry.h"

#include "archive/archiveentries.h"
#include "archive/archivekind.h"
#include "archive/extractionplace.h"
#include "documents/documentkind.h"
#include "documents/grepdocument.h"
#include "walk/searchoptions.h"
#include "walk/stoprequest.h"

#include <QFile>

NestedKind nestedKindOf(const TSearchOptions *options, const QString &entryName, int depth)
{
    if (!options->archives || depth >= options->archiveLimits.maxDepth || entryName.endsWith(QLatin1Char('/')))
        return NestedKind::None;
    const QString baseName = entryName.mid(entryName.lastIndexOf(QLatin1Char('/')) + 1);
    if (archiveKindOf(baseName) != ArchiveKind::None)
        return NestedKind::Archive;
    // A document is read for its text, as on disk: only for a content search, and only when
    // its name matches.
    if (options->documents && !options->grepText.isEmpty() && documentKindOf(baseName) != DocumentKind::None
        && matchEntryName(options, entryName))
        return NestedKind::Document;
    return NestedKind::None;
}

EntryExtraction searchNestedEntry(NestedKind kind, const QString &entryName, const QString &hitName, int depth,
                                  const EntryWriter &write, const InnerArchiveOpener &open, QList<TFileInfo> &hits,
                                  const TSearchOptions *options, ExtractionPlace &place)
{
    const QString baseName = entryName.mid(entryName.lastIndexOf(QLatin1Char('/')) + 1);
    // One file per depth: an archive being read at depth 2 stays while its entries are read.
    // A document keeps its suffix, by which its reader is chosen.
    QByteArray fileName = "nested" + QByteArray::number(depth + 1);
    fileName += kind == NestedKind::Document ? '.' + baseName.mid(baseName.lastIndexOf(QLatin1Char('.')) + 1).toLower().toLatin1()
                                             : QByteArray(".tmp");
    const std::string path8 = place.clearedPath(fileName.constData());
    if (path8.empty())
        return EntryExtraction::NotWritten;
    const EntryExtraction extraction = write(path8);
    if (extraction != EntryExtraction::Written)
        return extraction;
    if (kind == NestedKind::Document)
        grepDocument(options, QFile::decodeName(path8.c_str()), hits, hitName);
    else
        open(QByteArray::fromStdString(path8));
    return searchStopRequested() ? EntryExtraction::Stopped : EntryExtraction::Written;
}
