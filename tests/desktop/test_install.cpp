// Installs the build tree into a staging folder, as a package build would, and starts the
// installed program once from a folder it may not write to.
#include "filemanagerentries.h"

#include <QDir>
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

    QTemporaryDir stage_;
    const QString bindir = stage_.path() + QUORVEL_BINDIR, datadir = stage_.path() + QUORVEL_DATADIR;

private slots:
    void initTestCase()
    {
        QVERIFY(stage_.isValid());
        // Others (the unprivileged user below) must reach the installed files.
        QVERIFY(QFile::setPermissions(stage_.path(), QFile::permissions(stage_.path()) | QFile::ReadOther
                                                        | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
        QProcess install;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", stage_.path());
        install.setProcessEnvironment(env);
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QUORVEL_CMAKE, {"--install", QUORVEL_BUILD_DIR});
        QVERIFY(install.waitForFinished(300000));
        QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0, install.readAll().constData());
    }

    // The desktop files are checked by appstreamcli where it is installed, as a store would.
    void installsProgramToolEntryIconsAndMetainfo()
    {
        QVERIFY(QFileInfo(bindir + "/quorvel").isExecutable());
        QVERIFY(readAll(datadir + "/applications/quorvel.desktop").contains("\nExec=quorvel %f\n"));
        QVERIFY(readAll(datadir + "/metainfo/io.github.quorvel.quorvel.metainfo.xml").contains("<release version=\"" QUORVEL_VERSION "\""));
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            QCOMPARE(QImageReader(datadir + QString("/icons/hicolor/%1x%1/apps/quorvel.png").arg(size), "png").size(), QSize(size, size));
        QVERIFY(readAll(datadir + "/icons/hicolor/scalable/apps/quorvel.svg").contains("<svg"));
        QProcess tool;
        tool.start(bindir + "/quorvel-search", {"--version"});
        QVERIFY(tool.waitForFinished(30000) && tool.exitCode() == 0);
        QVERIFY(tool.readAllStandardOutput().contains(QUORVEL_VERSION));
        const QString appstream = QStandardPaths::findExecutable("appstreamcli");
        if (appstream.isEmpty())
            return;
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(appstream, {"validate-tree", "--no-net", datadir.section('/', 0, -2)});
        QVERIFY(check.waitForFinished(60000));
        QVERIFY2(check.exitCode() == 0, check.readAll().constData());
    }

    void installedProgramRunsFromAReadOnlyFolder()
    {
        // The superuser writes everywhere, so as root the program runs as the unprivileged user.
        const bool asRoot = ::geteuid() == 0;
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (asRoot && setpriv.isEmpty())
            QSKIP("running as root without setpriv: a read-only folder cannot be shown");
        QTemporaryDir user;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", user.path());
        for (const char *name : {"XDG_DATA_HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
            const QString dir = user.path() + '/' + name;
            QVERIFY(QDir().mkpath(dir) && QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            QVERIFY(!asRoot || ::chown(QFile::encodeName(dir).constData(), 65534, 65534) == 0);
            env.insert(name, dir);
        }
        QVERIFY(!asRoot || ::chown(QFile::encodeName(user.path()).constData(), 65534, 65534) == 0);
        const QFile::Permissions writable = QFile::permissions(bindir);
        QVERIFY(QFile::setPermissions(bindir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                                                  | QFile::ReadOther | QFile::ExeOther));
        const QString program = bindir + "/quorvel";
        QProcess run;
        run.setProcessEnvironment(env);
        run.setWorkingDirectory(user.path());
        run.setProcessChannelMode(QProcess::ForwardedChannels);
        if (asRoot)
            run.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", "--", program});
        else
            run.start(program, {});
        QVERIFY(run.waitForStarted(30000));

        // The hand-off file lands in the per-user folder, the context-menu entries in the user's
        // data folder, pointing at the installed program; and the program keeps running.
        const QString dataHome = env.value("XDG_DATA_HOME"), showNow = dataHome + "/quorvel/shownow.cmd";
        const QString entry = dataHome + '/' + applicationEntryPath();
        for (const QString &path : {showNow, entry})
            (void)QTest::qWaitFor([&] { return QFileInfo::exists(path) || run.state() == QProcess::NotRunning; }, 30000);
        QTest::qWait(1000);
        const bool keptRunning = run.state() == QProcess::Running;
        run.kill();
        run.waitForFinished(30000);
        QFile::setPermissions(bindir, writable);
        QVERIFY2(keptRunning, "the installed program ended by itself");
        QCOMPARE(readAll(showNow).size(), 23);
        QVERIFY(QDir(bindir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size() == 2);
        QVERIFY(readAll(entry).contains("\nExec=" + folderExecValue(program).toUtf8() + '\n'));
        QVERIFY(QFileInfo::exists(dataHome + '/' + nautilusScriptPath()));
    }

    void cleanupTestCase() { QFile::setPermissions(bindir, QFile::permissions(bindir) | QFile::WriteOwner); }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
