#include "shownowfile.h"

#include "statefolder.h"

#include <QFile>

QString showNowFilePath()
{
    return stateFolder() + QLatin1String("/shownow.cmd");
}

QByteArray showNowStamp(const QDateTime &when)
{
    return when.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")).toLatin1();
}

bool writeShowNowFileAt(const QString &path, const QDateTime &when)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate))
        return false;
    file.write(showNowStamp(when));
    file.close();
    return true;
}

void writeShowNowFile()
{
    writeShowNowFileAt(showNowFilePath(), QDateTime::currentDateTime());
}
