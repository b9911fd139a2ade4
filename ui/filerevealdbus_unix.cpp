#include "filerevealdbus.h"

#include "localfileurl.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringList>

namespace {

void openContainingFolder(const QString &path, const std::function<void()> &failed)
{
    const QString folder = QFileInfo(localFileUrl(path).toLocalFile()).absolutePath();
    if (!QDesktopServices::openUrl(localFileUrl(folder)) && failed)
        failed();
}

} // namespace

void revealThroughFileManager1(const QDBusConnection &bus, const QStringList &paths,
                               const std::function<void()> &failed)
{
    if (paths.isEmpty())
        return;
    const QString path = paths.first();
    if (!bus.isConnected()) {
        openContainingFolder(path, failed);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    QStringList uris;
    for (const QString &each : paths)
        uris.append(QString::fromUtf8(localFileUrl(each).toEncoded()));
    call << uris << QString();
    // Not waited for: starting a file manager on demand can take a while, and the window
    // stays responsive meanwhile.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [path, failed](QDBusPendingCallWatcher *finished) {
                         if (finished->isError())
                             openContainingFolder(path, failed);
                         finished->deleteLater();
                     });
}
