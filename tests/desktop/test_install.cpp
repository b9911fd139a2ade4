// Installs the build tree into a staging folder, as a package build would, and starts the
// installed program once from a folder it may not write to.
#include "filemanagerentries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installsProgramToolEntryIconsAndMetainfo();
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
        QCOMPARE(QImageReader(icon, "png").size(), QSize(size, size));
    }
    QVERIFY(readAll(datadir() + QStringLiteral("/icons/hicolor/scalable/apps/quorvel.svg")).contains("<svg"));
    QProcess tool;
    tool.start(bindir() + QStringLiteral("/quorvel-search"), {QStringLiteral("--version")});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY(tool.readAllStandardOutput().contains(QUORVEL_VERSION));

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
    for (const QString &dir : {user.path(), dataHome, runtime, user.path() + QStringLiteral("/config"),
                               user.path() + QStringLiteral("/cache")}) {
        QVERIFY(QDir().mkpath(dir));
        if (asRoot)   // to the unprivileged user
            QVERIFY(::chown(QFile::encodeName(dir).constData(), 65534, 65534) == 0);
    }
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

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
    const auto appears = [&](const QString &path) {
        return QTest::qWaitFor([&] { return QFileInfo::exists(path) || run.state() == QProcess::NotRunning; }, 30000);
    };
    const bool announced = appears(showNow);
    const bool registered = appears(entry);
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
