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

void openContainingFolder(const QString &path)
{
    const QString folder = QFileInfo(localFileUrl(path).toLocalFile()).absolutePath();
    QDesktopServices::openUrl(localFileUrl(folder));
}

} // namespace

void revealThroughFileManager1(const QDBusConnection &bus, const QString &path)
{
    if (!bus.isConnected()) {
        openContainingFolder(path);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QString::fromUtf8(localFileUrl(path).toEncoded())} << QString();
    // Not waited for: starting a file manager on demand can take a while, and the window
    // stays responsive meanwhile.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [path](QDBusPendingCallWatcher *finished) {
                         if (finished->isError())
                             openContainingFolder(path);
                         finished->deleteLater();
                     });
}
