#include "filedropmimedata.h"

#include "localfileurl.h"

#include <QMimeData>

QMimeData *buildFileDropMimeData(const QStringList &paths, bool copy)
{
    QByteArray uriList;
    QByteArray gnomeList = copy ? QByteArray("copy") : QByteArray("cut");
    QStringList plainPaths;
    for (const QString &path : paths) {
        const QUrl url = localFileUrl(path);
        const QByteArray encoded = url.toEncoded();
        uriList += encoded + "\r\n";   // the uri-list format ends every line with CR LF
        gnomeList += '\n' + encoded;
        plainPaths.append(url.toLocalFile());
    }
    if (paths.isEmpty())
        gnomeList += '\n';

    auto *data = new QMimeData;
    data->setData(QStringLiteral("text/uri-list"), uriList);
    data->setData(QStringLiteral("x-special/gnome-copied-files"), gnomeList);
    if (!copy)
        data->setData(QStringLiteral("application/x-kde-cutselection"), QByteArray("1"));
    data->setText(plainPaths.join(QLatin1Char('\n')));
    return data;
}
