#include "startuptexts.h"

#include <QDir>
#include <QFileInfo>

QString driveListText()
{
    QString text;
    const QFileInfoList drives = QDir::drives();
    for (const QFileInfo &drive : drives)
        text += drive.absoluteFilePath() + QLatin1Char(';');
    return text;
}

QString initialDirText(const QStringList &arguments, const QString &startDir,
                       const QString &driveText)
{
    const QString directory = directoryArgument(arguments, startDir);
    return directory.isEmpty() ? driveText : directory;
}

QString directoryArgument(const QStringList &arguments, const QString &startDir)
{
    if (arguments.size() < 2)
        return QString();
    const QString argument = arguments.at(1);
    if (argument.isEmpty())
        return QString();
    const bool relative = QFileInfo(argument).isRelative();
    const QString path = relative ? QDir(startDir).absoluteFilePath(argument) : argument;
    if (!QFileInfo(path).isDir())
        return QString();
    return relative ? QDir::cleanPath(path) : argument;
}
