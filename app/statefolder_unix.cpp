#include "statefolder.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

bool isSystemFolder(const QString &dir)
{
    const QString path = QDir::cleanPath(dir);
    for (const char *root : {"/usr", "/bin", "/sbin", "/lib", "/opt", "/snap"}) {
        const QLatin1String prefix(root);
        if (path == prefix || path.startsWith(prefix + QLatin1Char('/')))
            return true;
    }
    return false;
}

bool isOwnedByUser(const QString &dir)
{
    return QFileInfo(dir).ownerId() == ::getuid();
}
