#include "localfileurl.h"

#include <QDir>
#include <QString>

QUrl localFileUrl(const QString &nativePath)
{
    const QString path = QDir::fromNativeSeparators(nativePath);
#ifdef Q_OS_WIN
    // A leading "//" starts a network path there and stays.
    const int kept = path.startsWith(QLatin1String("//")) ? 2 : 0;
#else
    const int kept = 0;
#endif
    QString collapsed = path.left(kept);
    collapsed.reserve(path.size());
    for (int i = kept; i < path.size(); ++i) {
        if (path.at(i) == QLatin1Char('/') && collapsed.endsWith(QLatin1Char('/')))
            continue;
        collapsed.append(path.at(i));
    }
    return QUrl::fromLocalFile(collapsed);
}
