#include "archive/archiveentries.h"

#include "archive/extractionplace.h"
#include "walk/searchoptions.h"

#include <QDir>
#include <QFile>

bool matchEntryName(const TSearchOptions *options, const QString &entryName)
{
    return options->nameMatcher.matches(QStringView(entryName).mid(entryName.lastIndexOf(QLatin1Char('/')) + 1));
}

QString archiveHitName(const QByteArray &archivePath, const QString &entryName)
{
    const QByteArray fileName = archivePath.mid(archivePath.lastIndexOf('/') + 1);
    return QFile::decodeName(fileName) + QDir::separator() + QDir::toNativeSeparators(entryName);
}

ExtractionPlace &extractionPlaceFor(const TSearchOptions *options, std::unique_ptr<ExtractionPlace> &own)
{
    if (options->extraction)
        return *options->extraction;
    own = std::make_unique<ExtractionPlace>(options->tempDir);
    return *own;
}
