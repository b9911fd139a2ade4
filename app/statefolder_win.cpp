#include "statefolder.h"

#include <QDir>

#include <cstdlib>

bool isSystemFolder(const QString &dir)
{
    const QString path = QDir::cleanPath(dir);
    for (const char *variable : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "SystemRoot"}) {
        const char *value = std::getenv(variable);
        if (!value || !*value)
            continue;
        const QString root = QDir::cleanPath(QDir::fromNativeSeparators(QString::fromLocal8Bit(value)));
        if (path.compare(root, Qt::CaseInsensitive) == 0
            || path.startsWith(root + QLatin1Char('/'), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool isOwnedByUser(const QString &)
{
    // Ownership of folders says little on Windows; the program folders are caught above.
    return true;
}
