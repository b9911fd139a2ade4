// Installs the build tree into a staging folder, as a package build would, and starts the
// installed program once from a folder it may not write to.
#include "filemanagerentries.h"

#include "temptree.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir stage_;
    const QString bindir = stage_.path() + QUORVEL_BINDIR;

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
        QCOMPARE(readFile(showNow).size(), 23);
        QVERIFY(QDir(bindir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size() == 2);
        QVERIFY(readFile(entry).contains("\nExec=" + folderExecValue(program).toUtf8() + '\n'));
        QVERIFY(QFileInfo::exists(dataHome + '/' + nautilusScriptPath()));
    }

    void cleanupTestCase() { QFile::setPermissions(bindir, QFile::permissions(bindir) | QFile::WriteOwner); }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
