#include "statefolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString perUserStateFolder()
{
    // A fixed folder name: the application name is the display name and may change.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QLatin1String("/quorvel");
}

bool isUsableStateFolder(const QString &dir)
{
    const QFileInfo info(dir);
    return info.isDir() && info.isWritable();
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
