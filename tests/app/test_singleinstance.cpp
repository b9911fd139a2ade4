// One instance per program path and user: the lock, and the real program started as a second
// (and third) process.
#include "instancelock.h"
#include "mainwindow.h"
#include "programcopy.h"
#include "shownowfile.h"
#include "singleapplication.h"
#include "statefolder.h"
#include "windowsetup.h"

#include "temptree.h"

#include <QComboBox>
#include <QProcess>

#include <memory>
#include <vector>

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

    void secondStartShowsTheHiddenWindowWithItsFolder()
    {
        // This process plays the running instance of a copy that shares its folder, and so its
        // state folder and hand-off file.
        const QString program = copyProgram(QCoreApplication::applicationDirPath(), QStringLiteral("quorvel-handoff-test"));
        QCOMPARE(stateFolderFor(QFileInfo(program).absolutePath()), stateFolder());
        InstanceLock lock(SingleApplication::instanceKey(program));
        QCOMPARE(lock.tryAcquire(), InstanceLock::Acquired);

        TempTree tree;
        const QString ownDir = tree.dir(QStringLiteral("searched here"));
        writeShowNowFile();
        MainWindow window(programWindowEnvironment());
        window.setInitialDir(ownDir);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.hide();
        QTest::qWait(100);
        window.hide();

        const QString asked = tree.dir(QStringLiteral("asked for later"));
        auto second = startProgram(program, {asked});
        QVERIFY(second->waitForFinished(60000));
        QVERIFY(second->exitStatus() == QProcess::NormalExit && second->exitCode() == 0);
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);
        QTRY_COMPARE(window.findChild<QComboBox *>(QStringLiteral("comboBox_Dir"))->currentText(), asked);
        QFile::remove(program);
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
};

QTEST_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
