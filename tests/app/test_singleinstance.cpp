#include "instancelock.h"
#include "mainwindow.h"
#include "programcopy.h"
#include "shownowfile.h"
#include "singleapplication.h"
#include "statefolder.h"

#include "temptree.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

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

bool waitForFile(const QString &path, int ms = 30000)
{
    QDeadlineTimer deadline(ms);
    while (!QFileInfo::exists(path)) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(30000);
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void keyDependsOnPathAndUser();
    void lockIsExclusiveAndOutlivesNoHolder();
    void secondStartExitsAndAnnouncesItself();
    void secondStartShowsTheHiddenWindowAndKeepsItsDirectory();
    void exactlyOneOfSimultaneousStartsRuns();
    void lockOfAKilledInstanceDoesNotBlock();
    void copiesAtDifferentPathsRunSideBySide();
};

void TestSingleInstance::keyDependsOnPathAndUser()
{
    TempTree tree;
    const QString a = tree.file(QStringLiteral("a/quorvel"), "x");
    const QString b = tree.file(QStringLiteral("b/quorvel"), "x");
    QCOMPARE(SingleApplication::instanceKey(a), SingleApplication::instanceKey(a));
    QCOMPARE(SingleApplication::instanceKey(a),
             SingleApplication::instanceKey(tree.path(QStringLiteral("b/../a/quorvel"))));
    QVERIFY(SingleApplication::instanceKey(a) != SingleApplication::instanceKey(b));
    // Through a link it is still the same program.
    const QString link = tree.link(QStringLiteral("link-to-a"), a);
    QCOMPARE(SingleApplication::instanceKey(link), SingleApplication::instanceKey(a));
    // Usable as a file name.
    const QString key = SingleApplication::instanceKey(a);
    QVERIFY(key.startsWith(QStringLiteral("quorvel-")));
    for (QChar c : key)
        QVERIFY(c.isLetterOrNumber() || c == QLatin1Char('-'));
    QVERIFY(!InstanceLock::userKey().isEmpty());
}

void TestSingleInstance::lockIsExclusiveAndOutlivesNoHolder()
{
    TempTree tree;
    const QString key = SingleApplication::instanceKey(tree.file(QStringLiteral("prog"), "x"));
    InstanceLock first(key);
    InstanceLock second(key);
    QCOMPARE(first.tryAcquire(), InstanceLock::Acquired);
    QVERIFY(first.isHeld());
    QCOMPARE(first.tryAcquire(), InstanceLock::Acquired);   // again: still ours
    QCOMPARE(second.tryAcquire(), InstanceLock::HeldElsewhere);
    QVERIFY(!second.isHeld());
    first.release();
    QVERIFY(QFileInfo::exists(first.location()));   // the file stays; its lock does not
    QCOMPARE(second.tryAcquire(), InstanceLock::Acquired);
    second.release();

    // Whatever a dead holder left in the file does not matter.
    QFile junk(first.location());
    QVERIFY(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
    junk.write("999999999\nnot a lock at all\n");
    junk.close();
    QCOMPARE(first.tryAcquire(), InstanceLock::Acquired);
    first.release();
    QFile::remove(first.location());
}

void TestSingleInstance::secondStartExitsAndAnnouncesItself()
{
    TempTree tree;
    const QString program = copyProgram(tree.root());
    const QString handOff = tree.path(QStringLiteral("shownow.cmd"));
    auto first = startProgram(program);
    QVERIFY(waitForFile(handOff));
    QVERIFY(lockIsHeld(SingleApplication::instanceKey(program)));
    const QByteArray firstStamp = readAll(handOff);
    QCOMPARE(firstStamp.size(), 23);

    QTest::qWait(20);   // a new stamp differs in its milliseconds at least
    auto second = startProgram(program, {tree.root()});
    QVERIFY(second->waitForFinished(60000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    const QByteArray secondStamp = readAll(handOff);
    QCOMPARE(secondStamp.size(), 23);
    QVERIFY(secondStamp != firstStamp);
    QCOMPARE(first->state(), QProcess::Running);
    stop(*first);
}

void TestSingleInstance::secondStartShowsTheHiddenWindowAndKeepsItsDirectory()
{
    // This process plays the running instance of a copy that shares its folder, and so its
    // state folder and hand-off file.
    const QString program = copyProgram(QCoreApplication::applicationDirPath(),
                                        QStringLiteral("quorvel-handoff-test"));
    QCOMPARE(stateFolderFor(QFileInfo(program).absolutePath()), stateFolder());
    InstanceLock lock(SingleApplication::instanceKey(program));
    QCOMPARE(lock.tryAcquire(), InstanceLock::Acquired);

    TempTree tree;
    const QString ownDir = tree.dir(QStringLiteral("searched here"));
    const QString otherDir = tree.dir(QStringLiteral("asked for later"));
    writeShowNowFile();
    MainWindow window;
    window.setInitialDir(ownDir);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.hide();
    QTest::qWait(100);
    window.hide();
    QVERIFY(window.isHidden());

    auto second = startProgram(program, {otherDir});
    QVERIFY(second->waitForFinished(60000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);

    auto *dir = window.findChild<QComboBox *>(QStringLiteral("comboBox_Dir"));
    QCOMPARE(dir->currentText(), ownDir);
    QCOMPARE(dir->count(), 3);
    QFile::remove(program);
}

void TestSingleInstance::exactlyOneOfSimultaneousStartsRuns()
{
    for (int round = 0; round < 3; ++round) {
        TempTree tree;
        const QString program = copyProgram(tree.root());
        std::vector<std::unique_ptr<QProcess>> starts;
        for (int i = 0; i < 3; ++i)
            starts.push_back(std::make_unique<QProcess>());
        for (auto &p : starts) {
            p->setProcessChannelMode(QProcess::ForwardedChannels);
            p->start(program, QStringList());
        }
        for (auto &p : starts)
            QVERIFY(p->waitForStarted(30000));

        // The ones that lose end by themselves, with status 0.
        QDeadlineTimer deadline(60000);
        auto finished = [&] {
            int n = 0;
            for (auto &p : starts)
                n += p->state() == QProcess::NotRunning;
            return n;
        };
        while (finished() < 2 && !deadline.hasExpired())
            QTest::qWait(20);
        QCOMPARE(finished(), 2);
        QTest::qWait(300);
        QCOMPARE(finished(), 2);   // the winner keeps running
        for (auto &p : starts) {
            if (p->state() == QProcess::NotRunning) {
                QCOMPARE(p->exitStatus(), QProcess::NormalExit);
                QCOMPARE(p->exitCode(), 0);
            }
        }
        QVERIFY(lockIsHeld(SingleApplication::instanceKey(program)));
        for (auto &p : starts)
            stop(*p);
    }
}

void TestSingleInstance::lockOfAKilledInstanceDoesNotBlock()
{
    TempTree tree;
    const QString program = copyProgram(tree.root());
    const QString key = SingleApplication::instanceKey(program);
    const QString handOff = tree.path(QStringLiteral("shownow.cmd"));

    auto crashed = startProgram(program);
    QVERIFY(waitForFile(handOff));
    QVERIFY(lockIsHeld(key));
    crashed->kill();   // no clean-up of any kind
    QVERIFY(crashed->waitForFinished(30000));
    InstanceLock probe(key);
    QVERIFY(QFileInfo::exists(probe.location()));   // left behind

    QFile::remove(handOff);
    auto next = startProgram(program);
    QVERIFY(waitForFile(handOff));
    QVERIFY(lockIsHeld(key));
    QTest::qWait(300);
    QCOMPARE(next->state(), QProcess::Running);
    stop(*next);
}

void TestSingleInstance::copiesAtDifferentPathsRunSideBySide()
{
    TempTree one;
    TempTree two;
    const QString a = copyProgram(one.root());
    const QString b = copyProgram(two.root());
    auto first = startProgram(a);
    QVERIFY(waitForFile(one.path(QStringLiteral("shownow.cmd"))));
    auto second = startProgram(b);
    QVERIFY(waitForFile(two.path(QStringLiteral("shownow.cmd"))));
    QTest::qWait(300);
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(second->state(), QProcess::Running);
    stop(*first);
    stop(*second);
}

QTEST_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
