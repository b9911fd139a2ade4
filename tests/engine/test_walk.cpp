#include "batchrecorder.h"
#include "hitprinter.h"
#include "temptree.h"

#include <QSemaphore>
#include <QTest>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class WalkTest : public QObject
{
    Q_OBJECT

private slots:
    void batchesComeChildrenFirst();
    void onlyDirectoriesWithHitsSendBatches();
    void nonRecursiveSearchesRootsOnly();
    void exactAndContainsNames();
    void hiddenEntriesAndLinks();
    void linkCycleEnds();
    void linkLatticeIsWalkedOnce();
    void overlappingRootsAreSearchedOnce();
    void archiveNameHitsFollowInTheSameBatch();
    void dirNameIsCleanAbsolute();
    void pseudoFileSystemsAreNotEntered();
    void namesNotValidUtf8AreSearched();
    void treeDeeperThanThePathLimit();
    void manyHitsLeaveInBoundedBatches();
    void stopSendsNoFurtherBatch();
    void stopFromOutsideEndsPromptlyAndRestarts();
};

namespace {

QStringList names(const QList<Batch> &batches)
{
    QStringList result;
    for (const Batch &b : batches)
        for (const TFileInfo &hit : b.hits)
            result.append(hit.fileName);
    result.sort();
    return result;
}

void writeRaw(int dirFd, const QByteArray &name, const QByteArray &content)
{
    const int fd = openat(dirFd, name.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
    close(fd);
}

} // namespace

void WalkTest::batchesComeChildrenFirst()
{
    TempTree tree;
    tree.file("R/A/A1/hit-a1");
    tree.file("R/A/hit-a");
    tree.file("R/B/hit-b");
    tree.file("R/hit-r");
    QStringList dirs;
    for (const Batch &b : runSearch({QDir(tree.path("R"))}, {"hit"}))
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
    tree.dir("R/w/sub-target");
    QMap<QString, QList<TFileInfo>> byDir;
    for (const Batch &b : runSearch({QDir(tree.path("R"))}, {"target"}))
        byDir[b.dirName] += b.hits;
    // A name hit carries no line; a matching folder is a hit like a file.
    QCOMPARE(byDir.size(), 2);
    QCOMPARE(byDir.value(tree.path("R/x/y/z")), QList<TFileInfo>{TFileInfo("deep-target.txt", 0, QString())});
    QCOMPARE(byDir.value(tree.path("R/w")), QList<TFileInfo>{TFileInfo("sub-target", 0, QString())});
}

void WalkTest::nonRecursiveSearchesRootsOnly()
{
    TempTree tree;
    tree.file("R/match-top");
    tree.file("R/sub/match-deep");
    tree.dir("R/match-dir");
    const QStringList found = hitNames(runSearch({QDir(tree.path("R"))}, {"match"}, false));
    QCOMPARE(sorted(found), sorted(QStringList{tree.path("R/match-top"), tree.path("R/match-dir")}));
}

void WalkTest::exactAndContainsNames()
{
    TempTree tree;
    tree.file("R/ReadMe");
    tree.file("R/readme.txt");
    tree.file("R/notes.TXT");
    const QDir r(tree.path("R"));
    QCOMPARE(names(runSearch({r}, {"readme"}, true, true)), QStringList{"ReadMe"});
    QCOMPARE(names(runSearch({r}, {"readme"}, true, false)), (QStringList{"ReadMe", "readme.txt"}));
    QCOMPARE(names(runSearch({r}, {"*.txt"}, true, false)), (QStringList{"notes.TXT", "readme.txt"}));
    QCOMPARE(names(runSearch({r}, {"[!r]*"}, true, true)), QStringList{"notes.TXT"});
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
    const QStringList found = hitNames(runSearch({QDir(tree.path("R"))}, {"match"}));
    // Links to files are no hits; links to directories are entered; hidden entries never show.
    QCOMPARE(sorted(found), sorted(QStringList{tree.path("R/real/match-real"), tree.path("R/linked/match-outside")}));
}

void WalkTest::linkCycleEnds()
{
    TempTree tree;
    tree.file("R/a/b/match");
    tree.link("R/a/b/up", tree.path("R"));
    tree.link("R/a/self", ".");
    QCOMPARE(hitNames(runSearch({QDir(tree.path("R"))}, {"match"})), QStringList{tree.path("R/a/b/match")});
}

void WalkTest::linkLatticeIsWalkedOnce()
{
    // Each level links twice to the next: followed naively, the last level is reached 2^20 times.
    TempTree tree;
    const int levels = 20;
    for (int i = 0; i < levels; ++i) {
        tree.file(QStringLiteral("L%1/match%1").arg(i));
        tree.link(QStringLiteral("L%1/a").arg(i), tree.path(QStringLiteral("L%1").arg(i + 1)));
        tree.link(QStringLiteral("L%1/b").arg(i), tree.path(QStringLiteral("L%1").arg(i + 1)));
    }
    tree.file(QStringLiteral("L%1/match%1").arg(levels));
    QCOMPARE(hitNames(runSearch({QDir(tree.path("L0"))}, {"match"})).size(), levels + 1);
}

void WalkTest::overlappingRootsAreSearchedOnce()
{
    TempTree tree;
    tree.file("R/sub/match-sub");
    tree.file("R/match-r");
    tree.file("S/match-s");
    const QDir r(tree.path("R")), sub(tree.path("R/sub")), s(tree.path("S"));
    const QStringList once = sorted(hitNames(runSearch({r}, {"match"})));
    QCOMPARE(sorted(hitNames(runSearch({r, r}, {"match"}))), once);
    // A root inside an earlier root is skipped; an earlier root met again is passed over.
    QCOMPARE(sorted(hitNames(runSearch({r, sub}, {"match"}))), once);
    QCOMPARE(sorted(hitNames(runSearch({sub, r}, {"match"}))), once);
    // Separate roots are all searched, in order; without recursion a root inside another counts.
    const QList<Batch> two = runSearch({s, r}, {"match"});
    QCOMPARE(two.first().dirName, tree.path("S"));
    QCOMPARE(hitNames(two).size(), 3);
    QCOMPARE(hitNames(runSearch({r, sub}, {"match"}, false)).size(), 2);
}

void WalkTest::archiveNameHitsFollowInTheSameBatch()
{
    TempTree tree;
    tree.file("R/data.ZIP", "not really a zip");
    tree.file("R/data.txt");
    const QList<Batch> batches = runSearch({QDir(tree.path("R"))}, {"data"});
    QCOMPARE(batches.size(), 1);
    QCOMPARE(names(batches), (QStringList{"data.ZIP", "data.txt"}));
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
    QCOMPARE(hitNames(runSearch({QDir(tree.path("R"))}, {"self"})), QStringList{tree.path("R/self-match")});
    // A root that lies on such a file system is searched.
    const QList<Batch> inProc = runSearch({QDir(QStringLiteral("/proc/self"))}, {"status"}, false, true);
    QCOMPARE(inProc.size(), 1);
    QCOMPARE(inProc.first().hits.first().fileName, QStringLiteral("status"));
}

void WalkTest::namesNotValidUtf8AreSearched()
{
    TempTree tree;
    const QByteArray root = QFile::encodeName(tree.dir("R"));
    const int rootFd = open(root.constData(), O_RDONLY | O_DIRECTORY);
    writeRaw(rootFd, "caf\xe9.txt", "a needle here\n");                    // Latin-1
    QVERIFY(mkdirat(rootFd, "\xd6\xd0\xce\xc4", 0700) == 0);                // GBK
    const int gbkFd = openat(rootFd, "\xd6\xd0\xce\xc4", O_RDONLY | O_DIRECTORY);
    writeRaw(gbkFd, "x\xff.txt", "needle\n");
    writeRaw(rootFd, "forged\nfake line\x1b[2J.txt", "needle\n");
    close(gbkFd);
    close(rootFd);

    for (const QString &text : {QString(), QStringLiteral("needle")}) {
        const QList<Batch> batches = runSearch({QDir(tree.path("R"))}, {"*"}, true, true, text);
        QStringList paths;
        for (const Batch &b : batches) {
            for (const TFileInfo &hit : b.hits) {
                const QString shown = b.dirName + '/' + hit.fileName;
                if (hit.rawPath.isEmpty()) {
                    QVERIFY(QFileInfo::exists(shown) || hit.fileName.contains('\n'));
                    continue;
                }
                // The bytes lead to the file; the text shows replacement characters.
                QVERIFY(access(hit.rawPath.constData(), F_OK) == 0);
                QVERIFY(shown.contains(QChar::ReplacementCharacter));
                paths.append(QString::fromLatin1(hit.rawPath.mid(root.size())));
            }
        }
        paths.sort();
        QCOMPARE(paths.size(), text.isEmpty() ? 3 : 2);   // the folder is a hit on its name
    }

    // The command line's line format keeps a name on one line and out of the terminal's control.
    const QList<Batch> forged = runSearch({QDir(tree.path("R"))}, {"forged*"}, true, true);
    QCOMPARE(forged.size(), 1);
    const QByteArray line = HitPrinter::formatLines(forged.first().dirName, forged.first().hits);
    QCOMPARE(line.count('\n'), 1);
    QVERIFY(!line.contains('\x1b'));
    QVERIFY(line.contains("forged\\x0afake line\\x1b[2J.txt"));
    // --json gives the bytes of a name it cannot show.
    const QList<Batch> latin = runSearch({QDir(tree.path("R"))}, {"caf*"}, true, true);
    const QByteArray json = HitPrinter::formatJson(latin.first().dirName, latin.first().hits);
    QVERIFY(json.contains("\"path_base64\":\"" + (root + "/caf\xe9.txt").toBase64() + '"'));

    // QTemporaryDir cannot see these names to remove them.
    QCOMPARE(unlink(root + "/caf\xe9.txt") + unlink(root + "/\xd6\xd0\xce\xc4/x\xff.txt"), 0);
    QCOMPARE(rmdir(root + "/\xd6\xd0\xce\xc4"), 0);
}

namespace {

// Builds `depth` nested folders "dd" in `root` and a file at the bottom, past any path limit.
void makeDeepTree(const QByteArray &root, int depth)
{
    int fd = open(root.constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth; ++i) {
        mkdirat(fd, "dd", 0700);
        const int next = openat(fd, "dd", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    writeRaw(fd, "deep-match", "needle\n");
    close(fd);
}

// Removes it level by level: the second level moves up and the first goes.
void removeDeepTree(const QByteArray &root)
{
    const int fd = open(root.constData(), O_RDONLY | O_DIRECTORY);
    while (renameat(fd, "dd/dd", fd, "next") == 0) {
        unlinkat(fd, "dd/deep-match", 0);
        unlinkat(fd, "dd", AT_REMOVEDIR);
        renameat(fd, "next", fd, "dd");
    }
    unlinkat(fd, "dd/deep-match", 0);
    unlinkat(fd, "dd", AT_REMOVEDIR);
    close(fd);
}

} // namespace

void WalkTest::treeDeeperThanThePathLimit()
{
    TempTree tree;
    const QByteArray root = QFile::encodeName(tree.dir("R"));
    const int depth = 3000;   // 9,000 bytes of path
    makeDeepTree(root, depth);
    for (const QString &text : {QString(), QStringLiteral("needle")}) {
        const QList<Batch> batches = runSearch({QDir(tree.path("R"))}, {"deep-match"}, true, true, text);
        QCOMPARE(batches.size(), 1);
        QCOMPARE(batches.first().dirName.count(QStringLiteral("/dd")), depth);
        QCOMPARE(batches.first().hits.first().lineNo, text.isEmpty() ? 0 : 1);
    }
    removeDeepTree(root);
}

void WalkTest::manyHitsLeaveInBoundedBatches()
{
    TempTree tree;
    QByteArray lines;
    for (int i = 0; i < 25000; ++i)
        lines += "needle\n";
    tree.file("R/many.log", lines);
    tree.file("R/one.log", "needle\n");
    const QList<Batch> batches = runSearch({QDir(tree.path("R"))}, {"*.log"}, true, true, "needle");
    QCOMPARE(batches.size(), 3);
    int previous = 0;
    for (const Batch &b : batches) {
        QCOMPARE(b.dirName, tree.path("R"));
        QVERIFY(b.hits.size() <= 10000);
        for (const TFileInfo &hit : b.hits) {
            if (hit.fileName == QLatin1String("many.log")) {
                QCOMPARE(hit.lineNo, previous + 1);   // in order, none lost, none twice
                previous = hit.lineNo;
            }
        }
    }
    QCOMPARE(previous, 25000);
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
