#pragma once

#include "archive/archivelimits.h"
#include "walk/diagnostics.h"
#include "walk/fileinfo.h"
#include "walk/wildcard.h"

#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <memory>

class ContentSearch;
class ExtractionPlace;
class QTextCodec;

using TCodecTexts = QList<QPair<QTextCodec *, QString>>;

// What the content matcher and the archive search read of a running request.
struct TSearchOptions
{
    NameMatcher nameMatcher;      // the name filters, for names on disk and archive entry names
    QString grepText;             // text to find inside files; empty: a search on names alone
    TCodecTexts codecTexts;       // deep search: the grep text as prepared for each codec
    Qt::CaseSensitivity caseSensitivity = Qt::CaseSensitive;
    bool deepSearch = false;
    bool documents = true;        // read the text of office documents, e-books and PDFs
    bool archives = true;         // read inside archives (ZIP, RAR, 7z, tar, ...)
    ArchiveLimits archiveLimits;  // how far archive entries may expand, how deep archives nest
    QString tempDir;              // folder of the archive search's extraction files
    // The extraction files of the running search, held (locked) from its first extraction to
    // its end; when unset, each archive takes its own for the time it is searched.
    std::shared_ptr<ExtractionPlace> extraction;
    DiagnosticSink diagnostics = standardOutputSink();   // messages of the archive readers
    // The content search of the running search, made once by the worker; when unset, each
    // grepFile call makes one for its file alone.
    ContentSearch *contentSearch = nullptr;
    // Set by the walk while it searches: whoever appends to a directory's hit list calls it
    // afterwards (the content search at least between chunks of hits); once the list passes
    // the batch bound, the walk sends it as a batch and empties it.
    std::function<void(QList<TFileInfo> &hits)> offerHits;
};
