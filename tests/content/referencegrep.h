#pragma once

#include "walk/fileinfo.h"

#include <QByteArray>
#include <QStringList>

class QTextCodec;
struct TSearchOptions;

// The content search as its definition reads, done the straightforward way: the whole file is
// decoded at once and split into lines. The engine's fast search must give exactly these hits.
QList<TFileInfo> referenceGrep(const TSearchOptions &options, const QString &path, const QString &displayName);

// The lines a text stream reads from `bytes` with `codec`.
QStringList referenceLines(QTextCodec *codec, const QByteArray &bytes);
// The codec of a plain-mode stream over `bytes`: the one a byte-order mark names, else the
// system's.
QTextCodec *referenceStreamCodec(const QByteArray &bytes);
