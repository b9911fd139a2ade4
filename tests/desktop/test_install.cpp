// Installs the build tree into a staging folder, as a package build would, and starts the
// installed program once from a folder it may not write to.
#include "filemanagerentries.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <functional>

#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Width and height from a PNG's header; (0, 0) when it is no PNG.
QSize pngSize(const QString &path)
{
    const QByteArray head = readAll(path).left(24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return QSize();
    return QSize(qFromBigEndian<quint32>(head.constData() + 16),
                 qFromBigEndian<quint32>(head.constData() + 20));
}

bool waitFor(const std::function<bool()> &condition, int ms = 30000)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

// Gives `path` and everything below it to the unprivileged user.
void giveToNobody(const QString &path)
{
    QVERIFY(::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installsProgramToolEntryIconsAndMetainfo();
    void installedToolRuns();
    void installedProgramRunsFromAReadOnlyFolder();
    void cleanupTestCase();

private:
    QString staged(const QString &fullPath) const { return stage_.path() + fullPath; }
    QString bindir() const { return staged(QStringLiteral(QUORVEL_BINDIR)); }
    QString datadir() const { return staged(QStringLiteral(QUORVEL_DATADIR)); }

    QTemporaryDir stage_;
};

void TestInstall::initTestCase()
{
    QVERIFY(stage_.isValid());
    // Others (the unprivileged user below) must reach the installed files.
    QVERIFY(QFile::setPermissions(stage_.path(), QFile::permissions(stage_.path()) | QFile::ReadOther
                                                    | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    QProcess install;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), stage_.path());
    install.setProcessEnvironment(env);
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(QUORVEL_CMAKE), {QStringLiteral("--install"), QStringLiteral(QUORVEL_BUILD_DIR)});
    QVERIFY(install.waitForFinished(300000));
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
             install.readAll().constData());
}

void TestInstall::installsProgramToolEntryIconsAndMetainfo()
{
    for (const QString &name : {QStringLiteral("quorvel"), QStringLiteral("quorvel-search")}) {
        const QFileInfo program(bindir() + QLatin1Char('/') + name);
        QVERIFY2(program.isFile() && program.isExecutable(), qPrintable(program.filePath()));
    }
    const QByteArray entry = readAll(datadir() + QStringLiteral("/applications/quorvel.desktop"));
    QVERIFY(entry.contains("\nExec=quorvel %f\n"));
    QVERIFY(entry.contains("\nMimeType=inode/directory;\n"));
    QVERIFY(entry.contains("\nIcon=quorvel\n"));
    const QByteArray metainfo =
        readAll(datadir() + QStringLiteral("/metainfo/io.github.quorvel.quorvel.metainfo.xml"));
    QVERIFY(metainfo.contains("<id>io.github.quorvel.quorvel</id>"));
    QVERIFY(metainfo.contains("<launchable type=\"desktop-id\">quorvel.desktop</launchable>"));
    QVERIFY(metainfo.contains("<release version=\"" QUORVEL_VERSION "\""));

    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString icon = datadir()
                             + QStringLiteral("/icons/hicolor/%1x%1/apps/quorvel.png").arg(size);
        QCOMPARE(pngSize(icon), QSize(size, size));
    }
    QVERIFY(readAll(datadir() + QStringLiteral("/icons/hicolor/scalable/apps/quorvel.svg")).contains("<svg"));

    const QString appstream = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (!appstream.isEmpty()) {
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(appstream, {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), stage_.path()
                                                                   + QStringLiteral(QUORVEL_DATADIR).section(QLatin1Char('/'), 0, -2)});
        QVERIFY(check.waitForFinished(60000));
        QVERIFY2(check.exitCode() == 0, check.readAll().constData());
    }
}

void TestInstall::installedToolRuns()
{
    QProcess tool;
    tool.start(bindir() + QStringLiteral("/quorvel-search"), {QStringLiteral("--version")});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY(tool.readAllStandardOutput().contains(QUORVEL_VERSION));
}

void TestInstall::installedProgramRunsFromAReadOnlyFolder()
{
    // The superuser writes everywhere, so as root the program runs as the unprivileged user.
    const bool asRoot = ::geteuid() == 0;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (asRoot && setpriv.isEmpty())
        QSKIP("running as root without setpriv: a read-only folder cannot be shown");

    QTemporaryDir user;
    QVERIFY(user.isValid());
    const QString dataHome = user.path() + QStringLiteral("/data");
    const QString runtime = user.path() + QStringLiteral("/runtime");
    for (const QString &dir : {dataHome, runtime, user.path() + QStringLiteral("/config"),
                               user.path() + QStringLiteral("/cache")})
        QVERIFY(QDir().mkpath(dir));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (asRoot) {
        for (const QString &dir : {user.path(), dataHome, runtime, user.path() + QStringLiteral("/config"),
                                   user.path() + QStringLiteral("/cache")})
            giveToNobody(dir);
    }

    const QFile::Permissions writable = QFile::permissions(bindir());
    QVERIFY(QFile::setPermissions(bindir(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                                | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));

    const QString program = bindir() + QStringLiteral("/quorvel");
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), user.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), user.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), user.path() + QStringLiteral("/cache"));
    run.setProcessEnvironment(env);
    run.setWorkingDirectory(user.path());
    run.setProcessChannelMode(QProcess::ForwardedChannels);
    if (asRoot)
        run.start(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                            QStringLiteral("--clear-groups"), QStringLiteral("--"), program});
    else
        run.start(program, {});
    QVERIFY(run.waitForStarted(30000));

    // The hand-off file lands in the per-user folder, the context-menu entries in the user's
    // data folder, pointing at the installed program; and the program keeps running.
    const QString showNow = dataHome + QStringLiteral("/quorvel/shownow.cmd");
    const QString entry = dataHome + QLatin1Char('/') + applicationEntryPath();
    const bool announced = waitFor([&] { return QFileInfo::exists(showNow) || run.state() == QProcess::NotRunning; });
    const bool registered = waitFor([&] { return QFileInfo::exists(entry) || run.state() == QProcess::NotRunning; });
    QTest::qWait(1000);
    const bool keptRunning = run.state() == QProcess::Running;
    run.kill();
    run.waitForFinished(30000);
    QFile::setPermissions(bindir(), writable);

    QVERIFY2(keptRunning, "the installed program ended by itself");
    QVERIFY(announced && QFileInfo::exists(showNow));
    QCOMPARE(readAll(showNow).size(), 23);
    QVERIFY(!QFileInfo::exists(bindir() + QStringLiteral("/shownow.cmd")));
    QVERIFY(!QFileInfo::exists(bindir() + QStringLiteral("/tmp")));
    QVERIFY(registered);
    QVERIFY(readAll(entry).contains("\nExec=" + folderExecValue(program).toUtf8() + '\n'));
    QVERIFY(QFileInfo::exists(dataHome + QLatin1Char('/') + nautilusScriptPath()));
}

void TestInstall::cleanupTestCase()
{
    QFile::setPermissions(bindir(), QFile::permissions(bindir()) | QFile::WriteOwner);
}

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
