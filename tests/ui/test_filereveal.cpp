// Showing a file in the file manager over D-Bus, and the folder as the way out.
#include "filerevealdbus.h"

#include "temptree.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace {

// Stands in for a file manager on the test's own bus.

// Takes what the desktop would be asked to open.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void openUrl(const QUrl &url) { opened.append(url); }
};

// A bus of the test's own, with no services to start on demand.
const char busConfig[] =
    "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
    " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
    "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>\n"
    "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
    "<allow own=\"*\"/></policy></busconfig>\n";

} // namespace

class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QList<QStringList> shown;
    QStringList startupIds;

public slots:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        shown.append(uris);
        startupIds.append(startupId);
    }
};

class TestFileReveal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "openUrl");
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty())
            return;   // the bus tests skip themselves
        const QString config = tree.file(QStringLiteral("bus/bus.conf"),
                                         QString::fromLatin1(busConfig).arg(tree.path(QStringLiteral("bus"))).toUtf8());
        daemon.start(program, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                               QStringLiteral("--print-address=1")});
        QVERIFY(daemon.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return daemon.canReadLine() || daemon.waitForReadyRead(100); }, 10000));
        busAddress = QString::fromUtf8(daemon.readLine()).trimmed();
        QVERIFY(!busAddress.isEmpty());
    }

    void init() { recorder.opened.clear(); }
    void cleanup() { QDBusConnection::disconnectFromBus(QStringLiteral("client")); }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        daemon.terminate();
        daemon.waitForFinished(5000);
    }

    void asksTheFileManagerToShowTheItem()
    {
        if (busAddress.isEmpty())
            QSKIP("dbus-daemon is not installed");
        QDBusConnection service = QDBusConnection::connectToBus(busAddress, QStringLiteral("service"));
        FakeFileManager fileManager;
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));

        const QString file = tree.file(QStringLiteral("a b/中.txt"), "x");
        const QString second = tree.file(QStringLiteral("a b/second.txt"), "x");
        const QString folder = tree.path(QStringLiteral("a b"));
        QDBusConnection client = QDBusConnection::connectToBus(busAddress, QStringLiteral("client"));
        revealThroughFileManager1(client, {file, second});   // one folder's files: one call
        revealThroughFileManager1(client, {folder});
        QVERIFY(QTest::qWaitFor([&] { return fileManager.shown.size() == 2; }, 10000));
        const auto uri = [](const QString &path) { return QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()); };
        QCOMPARE(fileManager.shown, (QList<QStringList>{{uri(file), uri(second)}, {uri(folder)}}));
        QCOMPARE(fileManager.startupIds, QStringList({QString(), QString()}));
        QTest::qWait(100);   // the answers arrive; no folder is opened on top
        QVERIFY(recorder.opened.isEmpty());
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    }

    // With no file manager on the bus, or no bus at all, the folder is opened instead.
    void opensTheFolderWhenNoFileManagerAnswers()
    {
        const QString path = tree.file(QStringLiteral("docs/report.txt"), "x");
        const QList<QUrl> folder{QUrl::fromLocalFile(tree.path(QStringLiteral("docs")))};
        QDBusConnection none = QDBusConnection::connectToBus(
            QStringLiteral("unix:path=") + tree.path(QStringLiteral("no-bus-here")), QStringLiteral("client"));
        QVERIFY(!none.isConnected());
        revealThroughFileManager1(none, {path, path});
        QCOMPARE(recorder.opened, folder);   // once for the folder
        // A hit in the root folder arrives as "/" + "/" + name.
        revealThroughFileManager1(none, {QStringLiteral("//etc")});
        QCOMPARE(recorder.opened.last(), QUrl(QStringLiteral("file:///")));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));

        if (busAddress.isEmpty())
            QSKIP("dbus-daemon is not installed");
        recorder.opened.clear();
        QDBusConnection client = QDBusConnection::connectToBus(busAddress, QStringLiteral("client"));
        QVERIFY(!client.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.FileManager1")));
        revealThroughFileManager1(client, {path});
        QVERIFY(QTest::qWaitFor([&] { return !recorder.opened.isEmpty(); }, 10000));
        QCOMPARE(recorder.opened, folder);
    }

private:
    TempTree tree;
    QProcess daemon;
    QString busAddress;
    UrlRecorder recorder;
};

QTEST_MAIN(TestFileReveal)
#include "test_filereveal.moc"
