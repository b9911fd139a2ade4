// Showing a file in the file manager over D-Bus, the folder as the way out, and opening
// files with the desktop's handler.
#include "desktoplauncher.h"
#include "filerevealdbus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "temptree.h"

namespace {

// Stands in for a file manager on the test's own bus.
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
    "<busconfig>\n"
    "  <type>session</type>\n"
    "  <listen>unix:dir=%1</listen>\n"
    "  <auth>EXTERNAL</auth>\n"
    "  <policy context=\"default\">\n"
    "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
    "    <allow eavesdrop=\"true\"/>\n"
    "    <allow own=\"*\"/>\n"
    "  </policy>\n"
    "</busconfig>\n";

} // namespace

class TestFileReveal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void asksTheFileManagerToShowTheItem();
    void opensTheFolderWhenNoFileManagerAnswers();
    void opensTheFolderWithoutABus();
    void platformLauncherOpensWithTheDesktopHandler();

private:
    QTemporaryDir busDir;
    QProcess daemon;
    QString busAddress;
    UrlRecorder recorder;
};

void TestFileReveal::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "openUrl");
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty())
        return;   // the bus tests skip themselves
    QVERIFY(busDir.isValid());
    const QString config = busDir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QString::fromLatin1(busConfig).arg(busDir.path()).toUtf8());
    file.close();
    daemon.start(program, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                           QStringLiteral("--print-address=1")});
    QVERIFY(daemon.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return daemon.canReadLine() || daemon.waitForReadyRead(100); }, 10000));
    busAddress = QString::fromUtf8(daemon.readLine()).trimmed();
    QVERIFY(!busAddress.isEmpty());
}

void TestFileReveal::init()
{
    recorder.opened.clear();
}

void TestFileReveal::cleanup()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
}

void TestFileReveal::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    if (daemon.state() != QProcess::NotRunning) {
        daemon.terminate();
        daemon.waitForFinished(5000);
    }
}

void TestFileReveal::asksTheFileManagerToShowTheItem()
{
    if (busAddress.isEmpty())
        QSKIP("dbus-daemon is not installed");
    QDBusConnection service = QDBusConnection::connectToBus(busAddress, QStringLiteral("service"));
    QVERIFY(service.isConnected());
    FakeFileManager fileManager;
    QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    TempTree tree;
    const QString path = tree.file(QStringLiteral("a b/中.txt"), "x");
    QDBusConnection client = QDBusConnection::connectToBus(busAddress, QStringLiteral("client"));
    QVERIFY(client.isConnected());
    revealThroughFileManager1(client, path);
    revealThroughFileManager1(client, tree.path(QStringLiteral("a b")));

    QVERIFY(QTest::qWaitFor([&] { return fileManager.shown.size() == 2; }, 10000));
    QCOMPARE(fileManager.shown.at(0), QStringList({QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded())}));
    QCOMPARE(fileManager.shown.at(1),
             QStringList({QString::fromUtf8(QUrl::fromLocalFile(tree.path(QStringLiteral("a b"))).toEncoded())}));
    QCOMPARE(fileManager.startupIds, QStringList({QString(), QString()}));
    QTest::qWait(100);   // the answers arrive; no folder is opened on top
    QVERIFY(recorder.opened.isEmpty());
}

void TestFileReveal::opensTheFolderWhenNoFileManagerAnswers()
{
    if (busAddress.isEmpty())
        QSKIP("dbus-daemon is not installed");
    TempTree tree;
    const QString path = tree.file(QStringLiteral("docs/report.txt"), "x");
    QDBusConnection client = QDBusConnection::connectToBus(busAddress, QStringLiteral("client"));
    QVERIFY(client.isConnected());
    QVERIFY(!client.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.FileManager1")));
    revealThroughFileManager1(client, path);
    QVERIFY(QTest::qWaitFor([&] { return !recorder.opened.isEmpty(); }, 10000));
    QCOMPARE(recorder.opened, QList<QUrl>({QUrl::fromLocalFile(tree.path(QStringLiteral("docs")))}));
}

void TestFileReveal::opensTheFolderWithoutABus()
{
    TempTree tree;
    const QString path = tree.file(QStringLiteral("docs/report.txt"), "x");
    QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=") + tree.path(QStringLiteral("no-bus-here")), QStringLiteral("client"));
    QVERIFY(!none.isConnected());
    revealThroughFileManager1(none, path);
    QCOMPARE(recorder.opened, QList<QUrl>({QUrl::fromLocalFile(tree.path(QStringLiteral("docs")))}));

    // A hit in the root folder arrives as "/" + "/" + name.
    recorder.opened.clear();
    revealThroughFileManager1(none, QStringLiteral("//etc"));
    QCOMPARE(recorder.opened, QList<QUrl>({QUrl(QStringLiteral("file:///"))}));
}

void TestFileReveal::platformLauncherOpensWithTheDesktopHandler()
{
    TempTree tree;
    const QString path = tree.file(QStringLiteral("读我 1.txt"), "x");
    DesktopLauncher::install(nullptr);
    DesktopLauncher::current().openFile(path);
    DesktopLauncher::current().openFile(QStringLiteral("//etc/hostname"));
    QCOMPARE(recorder.opened, QList<QUrl>({QUrl::fromLocalFile(path), QUrl(QStringLiteral("file:///etc/hostname"))}));
}

QTEST_MAIN(TestFileReveal)
#include "test_filereveal.moc"
