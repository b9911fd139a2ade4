#pragma once

#include "archive/archivesearch.h"
#include "rar4testwriter.h"
#include "temptree.h"
#include "ziptestwriter.h"
#include "walk/fileinfo.h"
#include "walk/searchoptions.h"

#include <QStringList>

#include <memory>
#include <utility>

// Options as the worker builds them from whole-name filters (exact mode). The readers'
// diagnostics are collected in `diagnostics`, not written anywhere.
struct ArchiveSearch
{
    TSearchOptions options;
    std::shared_ptr<QByteArray> diagnostics = std::make_shared<QByteArray>();

    ArchiveSearch(const QStringList &filters, const QString &text = QString(), const QString &tempDir = QString())
    {
        options.nameMatcher = NameMatcher(filters);
        options.grepText = text;
        options.tempDir = tempDir;
        options.diagnostics = [out = diagnostics](const QByteArray &message) { out->append(message); };
    }
    QList<TFileInfo> run(const QString &archive) const
    {
        QList<TFileInfo> hits;
        searchArchive(archive, hits, &options);
        return hits;
    }
    // What was written since the last call.
    QByteArray messages() const { return std::exchange(*diagnostics, QByteArray()); }
};

inline QStringList hitNames(const QList<TFileInfo> &hits)
{
    QStringList names;
    for (const TFileInfo &hit : hits)
        names.append(hit.fileName);
    return names;
}

// Hits as "name" or "name:line:text", "/" between an archive's parts, sorted.
inline QStringList hitTexts(const QList<TFileInfo> &hits)
{
    QStringList texts;
    for (const TFileInfo &hit : hits)
        texts.append(QDir::fromNativeSeparators(hit.fileName)
                     + (hit.lineNo ? ':' + QString::number(hit.lineNo) + ':' + hit.lineText : QString()));
    texts.sort();
    return texts;
}

// "a.zip", "sub", "x.txt" -> "a.zip" + separator + "sub" + separator + "x.txt"
inline QString inArchive(const QStringList &parts)
{
    return parts.join(QDir::separator());
}

// An archive of the kind its suffix names (ZIP or else RAR) holding the same entries either way;
// in a ZIP a directory entry is its name with "/" appended.
inline QString writeArchive(TempTree &tree, const QString &relative, const QList<Rar4TestEntry> &entries)
{
    if (!relative.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive))
        return tree.file(relative, rar4Archive(entries));
    QList<ZipTestEntry> zip;
    for (const Rar4TestEntry &entry : entries)
        zip.append({entry.directory ? entry.name + '/' : entry.name, entry.data});
    tree.file(relative);
    return writeZip(tree.path(relative), zip) ? tree.path(relative) : QString();
}

#define REQUIRE_FIXTURES(relative) SKIP_WITHOUT_THIRD_PARTY_FIXTURES(QStringLiteral(relative))
