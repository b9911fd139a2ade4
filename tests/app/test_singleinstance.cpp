// One instance per program path and user: the lock, the real program started as a second (and
// third) process, and started from a folder it may not write to.
#include "instancelock.h"
#include "programcopy.h"
#include "singleapplication.h"

#include "temptree.h"

#include <QProcess>

#include <memory>
#include <vector>

#include <unistd.h>

namespace {

// True when a living process holds the lock of `key` (the probe takes it only for a moment).
bool lockIsHeld(const QString &key)
{
    InstanceLock probe(key);
    return probe.tryAcquire() == InstanceLock::HeldElsewhere;
}

std::unique_ptr<QProcess> startProgram(const QString &program, const QStringList &arguments = {})
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(program, arguments);
    return process;
}

// The started program keeps running for a while, and then is stopped.
bool keptRunningThenStop(QProcess &process)
{
    QTest::qWait(300);
    const bool running = process.state() == QProcess::Running;
    process.kill();
    process.waitForFinished(30000);
    return running;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void lockIsPerPathExclusiveAndDiesWithItsHolder()
    {
        TempTree tree;
        const QString a = tree.file(QStringLiteral("a/quorvel"), "x");
        const QString key = SingleApplication::instanceKey(a);
        QCOMPARE(SingleApplication::instanceKey(tree.path(QStringLiteral("b/../a/quorvel"))), key);
        QCOMPARE(SingleApplication::instanceKey(tree.link(QStringLiteral("link-to-a"), a)), key);
        QVERIFY(SingleApplication::instanceKey(tree.file(QStringLiteral("b/quorvel"), "x")) != key);

        InstanceLock first(key), second(key);
        QCOMPARE(first.tryAcquire(), InstanceLock::Acquired);
        QCOMPARE(second.tryAcquire(), InstanceLock::HeldElsewhere);
        first.release();
        QCOMPARE(second.tryAcquire(), InstanceLock::Acquired);
        second.release();
        QFile::remove(first.location());
    }

    // The ones that lose end by themselves with status 0 after rewriting the hand-off file.
    void exactlyOneOfSimultaneousStartsRuns()
    {
        for (int round = 0; round < 3; ++round) {
            TempTree tree;
            const QString program = copyProgram(tree.root());
            std::vector<std::unique_ptr<QProcess>> starts;
            for (int i = 0; i < 3; ++i)
                starts.push_back(startProgram(program, {tree.root()}));
            auto finished = [&] {
                int n = 0;
                for (auto &p : starts)
                    n += p->state() == QProcess::NotRunning;
                return n;
            };
            QVERIFY(QTest::qWaitFor([&] { return finished() == 2; }, 60000));
            const QByteArray stamp = readFile(tree.path(QStringLiteral("shownow.cmd")));
            QCOMPARE(stamp.split('\n'), (QList<QByteArray>{stamp.left(23), tree.root().toUtf8()}));
            QTest::qWait(300);
            QCOMPARE(finished(), 2);   // the winner keeps running
            QVERIFY(lockIsHeld(SingleApplication::instanceKey(program)));
            for (auto &p : starts) {
                if (p->state() == QProcess::NotRunning)
                    QVERIFY(p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0);
            }
            auto later = startProgram(program);
            QVERIFY(later->waitForFinished(60000) && later->exitCode() == 0);
            QVERIFY(readFile(tree.path(QStringLiteral("shownow.cmd"))) != stamp);
            for (auto &p : starts)
                p->kill(), p->waitForFinished(30000);
        }
    }

    void lockOfAKilledInstanceDoesNotBlockAndCopiesRunSideBySide()
    {
        TempTree one, two;
        const QString program = copyProgram(one.root());
        const QString handOff = one.path(QStringLiteral("shownow.cmd"));
        auto crashed = startProgram(program);
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(handOff); }, 30000));
        QVERIFY(lockIsHeld(SingleApplication::instanceKey(program)));
        crashed->kill();   // no clean-up of any kind
        QVERIFY(crashed->waitForFinished(30000));

        QFile::remove(handOff);
        auto next = startProgram(program);
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(handOff); }, 30000));
        // A copy at another path is another program.
        auto copy = startProgram(copyProgram(two.root()));
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(two.path(QStringLiteral("shownow.cmd"))); }, 30000));
        QVERIFY(keptRunningThenStop(*next));
        QVERIFY(keptRunningThenStop(*copy));
    }

    // Installed where it may not write, it keeps its state in the per-user folder, writes nothing
    // beside itself and keeps running. The superuser writes everywhere: as root it runs as nobody.
    void runsFromAFolderItMayNotWriteTo()
    {
        const bool asRoot = ::geteuid() == 0;
        TempTree tree;
        QVERIFY(QFile::setPermissions(tree.root(), QFile::permissions(tree.root()) | QFile::ExeOther));
        const QString bin = tree.dir(QStringLiteral("bin")), home = tree.dir(QStringLiteral("home")), program = copyProgram(bin);
        QVERIFY(!asRoot || ::chown(QFile::encodeName(home).constData(), 65534, 65534) == 0);
        QVERIFY(QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
            env.insert(QLatin1String(name), home);
        QProcess run;
        run.setProcessEnvironment(env);
        run.setWorkingDirectory(home);
        run.setProcessChannelMode(QProcess::ForwardedChannels);
        if (asRoot)
            run.start(QStringLiteral("setpriv"), {"--reuid=65534", "--regid=65534", "--clear-groups", "--", program});
        else
            run.start(program, {});
        const QString showNow = home + QStringLiteral("/quorvel/shownow.cmd");
        (void)QTest::qWaitFor([&] { return QFileInfo::exists(showNow) || run.state() == QProcess::NotRunning; }, 30000);
        QVERIFY(keptRunningThenStop(run));
        QFile::setPermissions(bin, QFile::permissions(bin) | QFile::WriteOwner);
        QCOMPARE(readFile(showNow).size(), 23);
        QCOMPARE(QDir(bin).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{QStringLiteral("quorvel")});
    }
};

QTEST_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
