#include "batchrecorder.h"
#include "temptree.h"

#include <QSemaphore>

#include <atomic>
#include <QTest>

class WalkTest : public QObject
{
    Q_OBJECT

private slots:
    void batchesComeChildrenFirst();
    void onlyDirectoriesWithHitsSendBatches();
    void nameHitsCarryNoLine();
    void nonRecursiveSearchesRootsOnly();
    void exactAndContainsNames();
    void bracketsAndCase();
    void hiddenEntriesAndLinks();
    void linkCycleEnds();
    void rootTypedTwiceIsSearchedTwice();
    void archiveNameHitsFollowInTheSameBatch();
    void dirNameIsCleanAbsolute();
    void pseudoFileSystemsAreNotEntered();
    void stopSendsNoFurtherBatch();
    void stopFromOutsideEndsPromptlyAndRestarts();
};

void WalkTest::batchesComeChildrenFirst()
{
    TempTree tree;
    tree.file("R/A/A1/hit-a1");
    tree.file("R/A/hit-a");
    tree.file("R/B/hit-b");
    tree.file("R/hit-r");
    const QList<Batch> batches = runSearch({QDir(tree.path("R"))}, {"hit"});
    QStringList dirs;
    for (const Batch &b : batches)
        dirs.append(b.dirName);
    const QString r = tree.path("R");
    QCOMPARE(dirs.size(), 4);
    QCOMPARE(dirs.last(), r);
    // Everything from within a child comes before its parent, and a child's tree stays together.
    QVERIFY(dirs.indexOf(r + "/A/A1") < dirs.indexOf(r + "/A"));
    const int a = dirs.indexOf(r + "/A"), b = dirs.indexOf(r + "/B");
    QVERIFY(a >= 0 && b >= 0);
    QVERIFY(a < b ? dirs.indexOf(r + "/A/A1") < b : dirs.indexOf(r + "/A/A1") > b);
}

void WalkTest::onlyDirectoriesWithHitsSendBatches()
{
    TempTree tree;
    tree.file("R/x/y/z/deep-target.txt");
    tree.file("R/x/other.txt");
    tree.file("R/w/other.txt");
    const QList<Batch> batches = runSearch({QDir(tree.path("R"))}, {"target"});
    QCOMPARE(batches.size(), 1);
    QCOMPARE(batches.first().dirName, tree.path("R/x/y/z"));
    QCOMPARE(batches.first().hits.size(), 1);
    QCOMPARE(batches.first().hits.first().fileName, QStringLiteral("deep-target.txt"));
    for (const Batch &b : runSearch({QDir(tree.path("R"))}, {"*"}))
        QVERIFY(!b.hits.isEmpty());
}

void WalkTest::nameHitsCarryNoLine()
{
    TempTree tree;
    tree.file("R/one.txt");
    tree.dir("R/sub.txt");
    const QList<Batch> batches = runSearch({QDir(tree.path("R"))}, {"*.txt"});
    QCOMPARE(batches.size(), 1);
    QStringList names;
    for (const TFileInfo &hit : batches.first().hits) {
        QCOMPARE(hit.lineNo, 0);
        QVERIFY(hit.lineText.isEmpty());
        names.append(hit.fileName);
    }
    names.sort();
    // A matching subdirectory is a hit like a file.
    QCOMPARE(names, (QStringList{"one.txt", "sub.txt"}));
}

void WalkTest::nonRecursiveSearchesRootsOnly()
{
    TempTree tree;
    tree.file("R/match-top");
    tree.file("R/sub/match-deep");
    tree.dir("R/match-dir");
    const QStringList names = hitNames(runSearch({QDir(tree.path("R"))}, {"match"}, false));
    QCOMPARE(sorted(names), sorted(QStringList{tree.path("R/match-top"), tree.path("R/match-dir")}));
}

void WalkTest::exactAndContainsNames()
{
    TempTree tree;
    tree.file("R/ReadMe");
    tree.file("R/readme.txt");
    tree.file("R/notes.TXT");
    auto found = [&](const QStringList &patterns, bool exact) {
        QStringList names;
        for (const Batch &b : runSearch({QDir(tree.path("R"))}, patterns, true, exact))
            for (const TFileInfo &hit : b.hits)
                names.append(hit.fileName);
        names.sort();
        return names;
    };
    QCOMPARE(found({"readme"}, true), QStringList{"ReadMe"});
    QCOMPARE(found({"readme"}, false), (QStringList{"ReadMe", "readme.txt"}));
    // "*.txt" without exact matching finds every name containing ".txt".
    QCOMPARE(found({"*.txt"}, false), (QStringList{"notes.TXT", "readme.txt"}));
    QCOMPARE(found({"*.txt"}, true), (QStringList{"notes.TXT", "readme.txt"}));
}

void WalkTest::bracketsAndCase()
{
    TempTree tree;
    tree.file("R/a1.log");
    tree.file("R/B2.LOG");
    tree.file("R/c3.log");
    tree.file("R/[x].log");
    QStringList names;
    for (const Batch &b : runSearch({QDir(tree.path("R"))}, {"[ab]?.log"}, true, true))
        for (const TFileInfo &hit : b.hits)
            names.append(hit.fileName);
    names.sort();
    QCOMPARE(names, (QStringList{"B2.LOG", "a1.log"}));
    names.clear();
    for (const Batch &b : runSearch({QDir(tree.path("R"))}, {"[[]x]"}, true, false))
        for (const TFileInfo &hit : b.hits)
            names.append(hit.fileName);
    QCOMPARE(names, QStringList{"[x].log"});
}

void WalkTest::hiddenEntriesAndLinks()
{
    TempTree tree;
    tree.file("R/.hidden-match");
    tree.file("R/.hiddendir/match-inside");
    tree.file("R/real/match-real");
    tree.file("outside/match-outside");
    tree.link("R/link-match", tree.path("R/real/match-real"));
    tree.link("R/linked", tree.path("outside"));
    const QStringList names = hitNames(runSearch({QDir(tree.path("R"))}, {"match"}));
    // Links to files are no hits; links to directories are entered; hidden entries never show.
    QCOMPARE(sorted(names), sorted(QStringList{tree.path("R/real/match-real"), tree.path("R/linked/match-outside")}));
}

void WalkTest::linkCycleEnds()
{
    TempTree tree;
    tree.file("R/a/b/match");
    tree.link("R/a/b/up", tree.path("R"));
    tree.link("R/a/self", ".");
    const QStringList names = hitNames(runSearch({QDir(tree.path("R"))}, {"match"}));
    QCOMPARE(names, QStringList{tree.path("R/a/b/match")});
}

void WalkTest::rootTypedTwiceIsSearchedTwice()
{
    TempTree tree;
    tree.file("R/sub/match");
    const QDir root(tree.path("R"));
    QCOMPARE(hitNames(runSearch({root, root}, {"match"})).size(), 2);
    // A root inside another root is searched again.
    QCOMPARE(hitNames(runSearch({root, QDir(tree.path("R/sub"))}, {"match"})).size(), 2);
}

void WalkTest::archiveNameHitsFollowInTheSameBatch()
{
    TempTree tree;
    tree.file("R/data.ZIP", "not really a zip");
    tree.file("R/data.txt");
    const QList<Batch> batches = runSearch({QDir(tree.path("R"))}, {"data"});
    QCOMPARE(batches.size(), 1);
    QStringList names;
    for (const TFileInfo &hit : batches.first().hits)
        names.append(hit.fileName);
    QCOMPARE(sorted(names), (QStringList{"data.ZIP", "data.txt"}));
}

void WalkTest::dirNameIsCleanAbsolute()
{
    TempTree tree;
    tree.file("R/sub/match");
    const QList<Batch> batches = runSearch({QDir(tree.path("R/sub/../sub/"))}, {"match"});
    QCOMPARE(batches.size(), 1);
    QCOMPARE(batches.first().dirName, tree.path("R/sub"));

    // A relative root is taken against the working directory.
    const QString before = QDir::currentPath();
    QDir::setCurrent(tree.path("R"));
    const QList<Batch> relative = runSearch({QDir(QString())}, {"match"});
    QDir::setCurrent(before);
    QCOMPARE(relative.size(), 1);
    QCOMPARE(relative.first().dirName, tree.path("R/sub"));
}

void WalkTest::pseudoFileSystemsAreNotEntered()
{
    TempTree tree;
    tree.file("R/self-match");
    tree.link("R/proclink", QStringLiteral("/proc"));
    const QStringList names = hitNames(runSearch({QDir(tree.path("R"))}, {"self"}));
    QCOMPARE(names, QStringList{tree.path("R/self-match")});
    // A root that lies on such a file system is searched.
    const QList<Batch> inProc = runSearch({QDir(QStringLiteral("/proc/self"))}, {"status"}, false, true);
    QCOMPARE(inProc.size(), 1);
    QCOMPARE(inProc.first().hits.first().fileName, QStringLiteral("status"));
}

namespace {
void makeWideTree(TempTree &tree, int directories)
{
    for (int i = 0; i < directories; ++i)
        tree.file(QStringLiteral("R/d%1/match%1").arg(i));
}
} // namespace

void WalkTest::stopSendsNoFurtherBatch()
{
    TempTree tree;
    makeWideTree(tree, 300);
    searchThread worker;
    worker.setSearchParam({QDir(tree.path("R"))}, {"match"}, QString(), Qt::CaseSensitive, true, false, false);
    std::atomic<int> batches{0};
    QObject::connect(&worker, &searchThread::PushGotFiles, &worker,
                     [&](const QString &, const QList<TFileInfo> &) {
                         ++batches;
                         worker.stopSearch();   // seen by the worker from here on
                     },
                     Qt::DirectConnection);
    WorkerObserver observer(worker);
    worker.start();
    QVERIFY(observer.waitFinished(10000));
    QCOMPARE(batches.load(), 1);
}

void WalkTest::stopFromOutsideEndsPromptlyAndRestarts()
{
    TempTree tree;
    makeWideTree(tree, 3000);
    searchThread worker;
    worker.setSearchParam({QDir(tree.path("R"))}, {"match"}, QString(), Qt::CaseSensitive, true, false, false);
    // The worker holds on after its first batch until this thread has asked it to stop.
    QSemaphore firstBatchSent, stopAsked;
    std::atomic<int> batches{0};
    QObject::connect(&worker, &searchThread::PushGotFiles, &worker,
                     [&](const QString &, const QList<TFileInfo> &) {
                         if (++batches == 1) {
                             firstBatchSent.release();
                             stopAsked.acquire();
                         }
                     },
                     Qt::DirectConnection);
    WorkerObserver observer(worker);
    worker.start();
    QVERIFY(firstBatchSent.tryAcquire(1, 10000));
    worker.stopSearch();
    stopAsked.release();
    QVERIFY(observer.waitFinished(10000));
    QCOMPARE(batches.load(), 1);

    // The same worker runs the next search completely.
    batches = 2;   // past the hold
    observer.reset();
    worker.start();
    QVERIFY(observer.waitFinished(30000));
    QCOMPARE(observer.batches.load(), 3000);
}

QTEST_GUILESS_MAIN(WalkTest)
#include "test_walk.moc"
