#include "archive/archivesearch.h"

#include "archive/rarsearch.h"
#include "walk/searchoptions.h"
#include "archive/zipsearch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void searchArchive(const QString &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options)
{
    const QString suffix = QFileInfo(archivePath).suffix();
    if (suffix.compare(QLatin1String("rar"), Qt::CaseInsensitive) == 0)
        searchRarArchive(QFile::encodeName(archivePath), hits, options);
    else if (suffix.compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0)
        searchZipArchive(QFile::encodeName(archivePath), hits, options);
}

bool matchEntryName(const TSearchOptions *options, const QString &entryName)
{
    const QString lastPart = entryName.mid(entryName.lastIndexOf(QLatin1Char('/')) + 1);
    for (const QRegExp &matcher : options->nameRegExps) {
        if (matcher.exactMatch(lastPart))
            return true;
    }
    return false;
}

QString archiveHitName(const QByteArray &archivePath, const QString &entryName)
{
    const QByteArray fileName = archivePath.mid(archivePath.lastIndexOf('/') + 1);
    return QFile::decodeName(fileName) + QDir::separator() + QDir::toNativeSeparators(entryName);
}

QString archiveTempFile(const TSearchOptions *options, const char *fileName)
{
    const QString dir = options->tempDir.isEmpty() ? QStringLiteral("tmp") : options->tempDir;
    return dir + QLatin1Char('/') + QLatin1String(fileName);
}
