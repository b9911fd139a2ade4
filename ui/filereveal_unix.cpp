#include "filereveal.h"

#include "filerevealdbus.h"

#include <QDBusConnection>

void revealInFileManager(const QStringList &paths, const std::function<void()> &failed)
{
    revealThroughFileManager1(QDBusConnection::sessionBus(), paths, failed);
}
