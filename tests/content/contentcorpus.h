#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "walk/searchoptions.h"

// Files made to reach every way a file can be read: line ends, byte-order marks, every
// family of codec, broken and binary data, lines longer than any buffer.
struct CorpusFile
{
    QString name;
    QByteArray bytes;
    bool large = false;   // too large to decode with every codec in a test
};

QList<CorpusFile> contentCorpus();
// Search texts: ASCII and CJK, with case and folding quirks, ones no codec can represent.
QStringList corpusSearchTexts();
QByteArray encodeWith(const char *codecName, const QString &text);
// The options the search worker builds for `text` in every file.
TSearchOptions optionsFor(const QString &text, Qt::CaseSensitivity cs, bool deep);
