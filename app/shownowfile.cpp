#include "shownowfile.h"

#include "statefolder.h"

#include <QFile>
#include <QFileInfo>

QString showNowFilePath()
{
    return stateFolder() + QLatin1String("/shownow.cmd");
}

QByteArray showNowStamp(const QDateTime &when)
{
    return when.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")).toLatin1();
}

bool writeShowNowFileAt(const QString &path, const QDateTime &when, const QString &folder)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate))
        return false;
    QByteArray content = showNowStamp(when);
    if (!folder.isEmpty())
        content += '\n' + folder.toUtf8();
    // One write, so a reader woken by the change finds the folder with the stamp.
    file.write(content);
    file.close();
    return true;
}

void writeShowNowFile(const QString &folder)
{
    writeShowNowFileAt(showNowFilePath(), QDateTime::currentDateTime(), folder);
}

QString showNowFolder(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    const QList<QByteArray> lines = file.read(64 * 1024).split('\n');
    if (lines.size() < 2)
        return QString();
    const QString folder = QString::fromUtf8(lines.at(1));
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}
