#pragma once

#include "walk/diagnostics.h"

#include <QList>
#include <QPair>
#include <QRegExp>
#include <QString>

class QTextCodec;

using TCodecTexts = QList<QPair<QTextCodec *, QString>>;

// What the content matcher and the archive search read of a running request.
struct TSearchOptions
{
    QList<QRegExp> nameRegExps;   // one matcher per name filter, for archive entry names
    QString grepText;             // text to find inside files; empty: a search on names alone
    TCodecTexts codecTexts;       // deep search: the grep text as prepared for each codec
    Qt::CaseSensitivity caseSensitivity = Qt::CaseSensitive;
    bool deepSearch = false;
    QString tempDir;              // folder of the archive search's extraction files
    DiagnosticSink diagnostics = standardOutputSink();   // messages of the archive readers
};
