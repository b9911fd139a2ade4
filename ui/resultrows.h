#pragma once

#include <QList>
#include <QString>

class QAbstractItemView;

// The five cells of one result row, read as display text; a missing cell reads as "".
struct ResultRow
{
    QString name;       // column 0: the hit's name; for an archive entry "a.zip<sep>inner/path"
    QString dir;        // column 1: its directory
    QString lineNo;     // column 2
    QString lineText;   // column 3
    QString modified;   // column 4: only present when the file existed when the row was shown
};

// The rows the view's selection model reports as selected in column 0, in the order it lists
// them. Read through the plain item-model interface, whatever model the table shows.
QList<ResultRow> selectedResultRows(const QAbstractItemView *view);

// Directory, native separator, name (both trimmed): the hit itself.
QString hitPath(const ResultRow &row);

// What an action works on: like hitPath, but the name is cut at its first native separator,
// so a hit inside an archive names the archive file.
QString targetPath(const ResultRow &row);
