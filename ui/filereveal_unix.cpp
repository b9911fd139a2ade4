#include "filereveal.h"

#include "filerevealdbus.h"

#include <QDBusConnection>

void revealInFileManager(const QString &path)
{
    revealThroughFileManager1(QDBusConnection::sessionBus(), path);
}
