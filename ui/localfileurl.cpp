#include "localfileurl.h"

#include <QDir>
#include <QString>

QUrl localFileUrl(const QString &nativePath)
{
    const QString path = QDir::fromNativeSeparators(nativePath);
    const int kept = keptLeadingSlashes(path);
    QString collapsed = path.left(kept);
    collapsed.reserve(path.size());
    for (int i = kept; i < path.size(); ++i) {
        if (path.at(i) == QLatin1Char('/') && collapsed.endsWith(QLatin1Char('/')))
            continue;
        collapsed.append(path.at(i));
    }
    return QUrl::fromLocalFile(collapsed);
}
