#include "statefolder.h"

#include "archive/extractionplace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString perUserStateFolder()
{
    // The folder whose "tmp" the archive search falls back to, so both agree.
    return QFileInfo(ExtractionPlace::perUserFolder()).absolutePath();
}

bool isUsableStateFolder(const QString &dir)
{
    const QFileInfo info(dir);
    return info.isDir() && info.isWritable() && !isSystemFolder(info.absoluteFilePath())
           && isOwnedByUser(info.absoluteFilePath());
}

QString stateFolderFor(const QString &programDir)
{
    if (isUsableStateFolder(programDir))
        return QDir::cleanPath(QFileInfo(programDir).absoluteFilePath());
    const QString folder = perUserStateFolder();
    QDir().mkpath(folder);
    return folder;
}

QString stateFolder()
{
    return stateFolderFor(QCoreApplication::applicationDirPath());
}
