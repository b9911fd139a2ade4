// The walk against trees built in code, one row per rule. Every search is also held to what
// holds for all: each hit leads to its entry, a name hit carries no line, a file's lines come in
// order, and no batch holds more than 10,000 hits. The walk's single-read lister must give
// exactly what QDir gives for the three listings of a directory, in the order the file system
// gives them. A search on several threads gives the batches of the same search on one thread,
// in the same order, and a stop ends every thread.

#include "batchrecorder.h"
#include "walk/dirlisting.h"
#include "walk/wildcard.h"
#include "temptree.h"
#include "ziptestwriter.h"

#include <QDirIterator>
#include <QProcess>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

enum Mode { Flat = 0, Recursive = 1, Exact = 2 };
enum Flags { IgnoreCase = 1, Deep = 2, RootsAlone = 4 };

// A scratch folder whose entries are made through directory handles, so neither the path limit
// nor undecodable names (which QTemporaryDir cannot see) stand in the way. rm takes them all
// away at the end: a fork while tests still start threads would stop the thread sanitizer.
class ByteTree
{
public:
    ByteTree() { dir_.setAutoRemove(false); }
    ~ByteTree() { left() << dir_.path(); }
    static QStringList &left()
    {
        static QStringList paths;
        return paths;
    }
    QString path(const QString &relative) const { return dir_.path() + QLatin1Char('/') + relative; }

    // "a/b" an empty file, "a/b=text" one with text, "a/b/" a folder, "a/b -> t" a link to t
    // (inside the tree unless t starts with '/' or '.').
    void add(QByteArray entry)
    {
        QByteArray target, content;
        if (const qsizetype arrow = entry.indexOf(" -> "); arrow >= 0) {
            target = entry.mid(arrow + 4);
            entry.truncate(arrow);
            if (!target.startsWith('/') && !target.startsWith('.'))
                target = root + '/' + target;
        } else if (const qsizetype equals = entry.indexOf('='); equals >= 0) {
            content = entry.mid(equals + 1);
            entry.truncate(equals);
        }
        const bool folder = entry.endsWith('/');
        QList<QByteArray> parts = entry.split('/');
        const QByteArray last = folder ? (parts.removeLast(), parts.takeLast()) : parts.takeLast();
        int fd = open(root.constData(), O_RDONLY | O_DIRECTORY);
        for (const QByteArray &part : parts) {
            mkdirat(fd, part.constData(), 0700);
            const int next = openat(fd, part.constData(), O_RDONLY | O_DIRECTORY);
            close(fd);
            fd = next;
        }
        bool made = false;
        if (!target.isEmpty()) {
            made = symlinkat(target.constData(), fd, last.constData()) == 0;
        } else if (folder) {
            made = mkdirat(fd, last.constData(), 0700) == 0;
        } else if (const int file = openat(fd, last.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0600); file >= 0) {
            made = write(file, content.constData(), size_t(content.size())) == ssize_t(content.size());
            close(file);
        }
        close(fd);
        if (!made)
            qFatal("cannot make %s", entry.left(200).constData());
    }

private:
    QTemporaryDir dir_;

public:
    const QByteArray root = QFile::encodeName(dir_.path());
};

// A whole search on `workers` threads (1: the plain walk), its batches in the order they left.
QList<Batch> search(const QList<QDir> &roots, const QString &pattern, int workers, int mode = Recursive,
                    const QString &text = QString())
{
    return runSearch(roots, {pattern}, mode & Recursive, mode & Exact, text, QString(), workers);
}

// The names QDir can see: those that decode faithfully.
QStringList names(const DirListing &listing, const std::vector<const DirListing::Entry *> &entries)
{
    QStringList result;
    for (const DirListing::Entry *e : entries) {
        if (e->decodable)
            result.append(listing.name(*e));
    }
    return result;
}

// A directory with very many hits may leave in several batches; where it splits is not fixed.
QList<Batch> joined(const QList<Batch> &batches)
{
    QList<Batch> result;
    for (const Batch &b : batches) {
        if (!result.isEmpty() && result.last().dirName == b.dirName)
            result.last().hits += b.hits;
        else
            result.append(b);
    }
    return result;
}

int threadsOfProcess()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

class WalkTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (const char *dir : {"dir", ".hiddendir", "Folder.ZIP"})
            listingTree.dir(QString::fromUtf8(dir));
        for (const char *file : {"file.txt", ".hidden.txt", "a.ZIP", "b.rar", "c.Rar.bak", "[x].txt", "x].txt",
                                 "back\\slash", "star*name", "q?mark", "中文文件.doc", "Ärger.TXT", "kelvin\u212A.txt",
                                 "long\u017Fs.txt", "with space .txt"})
            listingTree.file(QString::fromUtf8(file));
        for (const auto &[link, target] : {std::pair{"linkdir", "dir"}, {"linkfile.txt", "file.txt"}, {"linkzip.zip", "a.ZIP"},
                                           {"broken", "nowhere"}, {"linkhidden", ".hiddendir"}, {"linknull", "/dev/null"},
                                           {"linkfifo", "fifo"}})
            listingTree.link(QString::fromUtf8(link), QString::fromUtf8(target));
        QVERIFY(mkfifo(QFile::encodeName(listingTree.path("fifo")).constData(), 0600) == 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(listingTree.path("socket")).constData(), sizeof address.sun_path);
        const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(bind(socketFd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        close(socketFd);
        // Names that are not UTF-8: invisible to QDir, listed by us and marked.
        const auto rawFile = [](const QByteArray &path, const char *text) {
            FILE *file = fopen(path.constData(), "w");
            return file && fputs(text, file) >= 0 && fclose(file) == 0;
        };
        badName = QFile::encodeName(listingTree.root()) + "/bad\xff\xfename";
        QVERIFY(rawFile(badName, ""));
        // Subtrees of uneven weight, links that the order of the walk decides, names that are not
        // valid UTF-8, archives, a directory of many parts and one past the batch bound.
        for (int d = 0; d < 12; ++d) {
            const QString dir = QStringLiteral("G/d%1/").arg(d);
            for (int f = 0; f < d * 3; ++f)
                parallelTree.file(dir + QStringLiteral("f%1.txt").arg(f),
                           QByteArray("x\n").repeated(f) + "a needle here\nNEEDLE again\nnone\n");
            for (int s = 0; s < d % 4; ++s)
                parallelTree.file(dir + QStringLiteral("s%1/deep/t.log").arg(s), "needle deep\n");
            if (d % 3 == 0) {
                QVERIFY(writeZip(parallelTree.dir(dir) + "/pack.zip",
                                 {{"in/one.txt", "needle inside\n"}, {"two.log", "no\nneedle two\n"}}));
            }
        }
        parallelTree.link("G/d1/toLater", "../d9");     // entered here: d9 comes later
        parallelTree.link("G/d10/toEarlier", "../d2");  // left: d2 came earlier
        parallelTree.link("G/d11/loop", "..");          // a cycle
        parallelTree.link("G/d5/s0/toS1", "../s1");
        for (int f = 0; f < 60; ++f)
            parallelTree.file(QStringLiteral("G/wide/w%1.txt").arg(f), f % 7 ? "plain\n" : "needle wide\n");
        parallelTree.dir("G/many");
        for (int f = 0; f < 10050; ++f)
            QFile(parallelTree.path(QStringLiteral("G/many/m%1").arg(f))).open(QIODevice::WriteOnly);
        QVERIFY(rawFile(QFile::encodeName(parallelTree.dir("G/odd")) + "/bad\xff.txt", "needle odd\n"));
        parallelTree.dir("tmp");
    }

    void cleanupTestCase()
    {
        // QTemporaryDir cannot see names it cannot decode to remove them.
        QCOMPARE(unlink(badName.constData()), 0);
        ::unlink((QFile::encodeName(parallelTree.path("G/odd")) + "/bad\xff.txt").constData());
        QProcess::execute(QStringLiteral("rm"), QStringList{QStringLiteral("-rf")} + ByteTree::left());
    }

    void listingsEqualQDir_data()
    {
        QTest::addColumn<QStringList>("filters");
        QTest::newRow("everything") << QStringList{"*"};
        QTest::newRow("contains txt") << QStringList{"**.txt*"};
        QTest::newRow("brackets") << QStringList{"[x]*", "*[[]x*", "x]*"};
        QTest::newRow("question mark") << QStringList{"?ile.txt", "q?mark"};
        QTest::newRow("backslash and star") << QStringList{"*\\*", "star*"};
        QTest::newRow("case") << QStringList{"*ärger*", "A.zip", "FILE.TXT"};
        QTest::newRow("non-ascii") << QStringList{"*中文*", "*K*", "*S.TXT"};
        QTest::newRow("exact") << QStringList{"dir", "Folder.zip"};
        QTest::newRow("blank") << QStringList{"* .txt"};
    }

    void listingsEqualQDir()
    {
        QFETCH(QStringList, filters);
        const QDir dir(listingTree.root());
        const DirListing listing = DirListing::read(QFile::encodeName(listingTree.root()).toStdString());
        QVERIFY(listing.isReadable());
        QCOMPARE(std::count_if(listing.entries().begin(), listing.entries().end(),
                               [](const DirListing::Entry &e) { return !e.decodable; }), 1);
        const auto plain = QDir::NoSymLinks | QDir::NoDotAndDotDot;
        QCOMPARE(sorted(names(listing, listing.subdirectories())),
                 sorted(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort)));
        QCOMPARE(sorted(names(listing, listing.archivePassEntries())),
                 sorted(dir.entryList({"*.rar", "*.zip"}, QDir::Files | plain, QDir::NoSort)));
        // Name matches in the order of an unsorted directory iterator.
        QStringList iteratorOrder;
        QDirIterator it(listingTree.root(), filters, QDir::Dirs | QDir::Files | plain);
        while (it.hasNext())
            iteratorOrder.append(QFileInfo(it.next()).fileName());
        QCOMPARE(names(listing, listing.filePassEntries(NameMatcher(filters))), iteratorOrder);
    }

    void unreadableDirectoryListsEmpty()
    {
        const DirListing missing = DirListing::read(QFile::encodeName(listingTree.path("no-such-dir")).toStdString());
        QVERIFY(!missing.isReadable());
        QVERIFY(missing.entries().empty());
        // A FIFO is never opened as a directory (it would block).
        QVERIFY(!DirListing::read(QFile::encodeName(listingTree.path("fifo")).toStdString()).isReadable());
    }

    void findsExactlyTheseHits_data()
    {
        QTest::addColumn<QList<QByteArray>>("entries");
        QTest::addColumn<QStringList>("roots");   // in the tree unless absolute; "." is the working folder R
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QByteArray>>("expected");   // paths in the tree, ":line" for content hits
        QTest::addColumn<int>("batches");                  // -1: any number
        const auto row = [](const char *name, const QList<QByteArray> &entries, const QStringList &roots,
                            const QString &pattern, int mode, const QString &text, const QList<QByteArray> &expected,
                            int batches = -1) {
            QTest::newRow(name) << entries << roots << pattern << mode << text << expected << batches;
        };
        const int all = Recursive, exact = Recursive | Exact;
        row("only folders with hits send batches", {"R/x/y/z/deep-target.txt", "R/x/other.txt", "R/w/sub-target/"},
            {"R"}, "target", all, "", {"R/w/sub-target", "R/x/y/z/deep-target.txt"}, 2);
        row("not recursive", {"R/match-top", "R/sub/match-deep", "R/match-dir/"}, {"R"}, "match", Flat, "",
            {"R/match-dir", "R/match-top"});
        const QList<QByteArray> readme{"R/ReadMe", "R/readme.txt", "R/notes.TXT"};
        row("whole name in any case", readme, {"R"}, "readme", exact, "", {"R/ReadMe"});
        row("name contains", readme, {"R"}, "readme", all, "", {"R/ReadMe", "R/readme.txt"});
        row("wildcard contains", readme, {"R"}, "*.txt", all, "", {"R/notes.TXT", "R/readme.txt"});
        row("negated set", readme, {"R"}, "[!r]*", exact, "", {"R/notes.TXT"});
        row("no hidden entries or file links; folder links entered",
            {"R/.hidden-match", "R/.hiddendir/match-inside", "R/real/match-real", "outside/match-outside",
             "R/link-match -> R/real/match-real", "R/linked -> outside"},
            {"R"}, "match", all, "", {"R/linked/match-outside", "R/real/match-real"});
        row("a folder linked to is searched once, under its own path",
            {"R/a -> R/real", "R/b -> R/a", "R/real/sub/match", "S/to-r -> R/real", "R/l -> R/.h", "R/.h/match-h"},
            {"S", "R"}, "match", all, "", {"R/l/match-h", "R/real/sub/match"});
        row("link cycles end", {"R/a/b/match", "R/a/b/up -> R", "R/a/self -> ."}, {"R"}, "match", all, "", {"R/a/b/match"});
        const QList<QByteArray> nested{"R/sub/match-sub", "R/match-r", "S/match-s"};
        const QList<QByteArray> inR{"R/match-r", "R/sub/match-sub"};
        row("a root twice", nested, {"R", "R"}, "match", all, "", inR);
        row("a root inside an earlier one", nested, {"R", "R/sub"}, "match", all, "", inR);
        row("a root around an earlier one", nested, {"R/sub", "R"}, "match", all, "", inR);
        row("separate roots", nested, {"S", "R"}, "match", all, "", inR + QList<QByteArray>{"S/match-s"});
        row("not recursive: a root inside another counts", nested, {"R", "R/sub"}, "match", Flat, "", inR);
        row("archive name hits in the same batch", {"R/data.ZIP=not really a zip", "R/data.txt"}, {"R"}, "data", all, "",
            {"R/data.ZIP", "R/data.txt"}, 1);
        const QList<QByteArray> compressed{"R/a-match.txt.gz=x", "R/other.txt.gz=x", "R/b.TXT.GZ=x"};
        row("a compressed file's one entry is named by the file", compressed, {"R"}, "match", all, "",
            {"R/a-match.txt.gz", "R/a-match.txt.gz/a-match.txt"});
        row("and matched apart from it", compressed, {"R"}, "b.txt", exact, "", {"R/b.TXT.GZ/b.TXT"});
        row("root given unclean", {"R/sub/match"}, {"R/sub/../sub/"}, "match", all, "", {"R/sub/match"}, 1);
        row("relative root", {"R/sub/match"}, {"."}, "match", all, "", {"R/sub/match"}, 1);
        row("pseudo file systems are not entered", {"R/self-match", "R/proclink -> /proc"}, {"R"}, "self", all, "",
            {"R/self-match"});
        row("but searched as a root", {}, {"/proc/self"}, "status", Exact, "", {"/proc/self/status"}, 1);
        const QList<QByteArray> odd{"R/caf\xe9.txt=a needle here\n", "R/\xd6\xd0\xce\xc4/x\xff.txt=needle\n",
                                    "R/forged\nfake line\x1b[2J.txt=needle\n"};
        row("names not valid in the locale", odd, {"R"}, "*", exact, "",
            {"R/caf\xe9.txt", "R/forged\nfake line\x1b[2J.txt", "R/\xd6\xd0\xce\xc4", "R/\xd6\xd0\xce\xc4/x\xff.txt"});
        row("content below such names", odd, {"R"}, "*", exact, "needle",
            {"R/caf\xe9.txt:1", "R/forged\nfake line\x1b[2J.txt:1", "R/\xd6\xd0\xce\xc4/x\xff.txt:1"});
        const QByteArray deep = "R/" + QByteArray("dd/").repeated(3000) + "deep-match";   // 9,000 bytes of path
        row("deeper than the path limit", {deep + "=needle\n"}, {"R"}, "deep-match", exact, "", {deep}, 1);
        row("content deeper than the path limit", {deep + "=needle\n"}, {"R"}, "deep-match", exact, "needle",
            {deep + ":1"}, 1);
        QList<QByteArray> lines{"R/one.log:1"};
        for (int i = 1; i <= 25000; ++i)
            lines << "R/many.log:" + QByteArray::number(i);
        row("many hits leave in bounded batches", {"R/many.log=" + QByteArray("needle\n").repeated(25000), "R/one.log=needle\n"},
            {"R"}, "*.log", exact, "needle", lines, 3);
    }

    void findsExactlyTheseHits()
    {
        QFETCH(QList<QByteArray>, entries);
        QFETCH(QStringList, roots);
        QFETCH(QString, pattern);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QList<QByteArray>, expected);
        QFETCH(int, batches);
        ByteTree tree;
        tree.add("R/");
        for (const QByteArray &entry : entries)
            tree.add(entry);
        QList<QDir> dirs;
        for (const QString &root : roots)
            dirs << QDir(root.startsWith(QLatin1Char('/')) || root == QLatin1String(".") ? root : tree.path(root));
        const QString before = QDir::currentPath();
        std::sort(expected.begin(), expected.end());
        for (const int workers : {1, 2}) {
            QDir::setCurrent(tree.path(QStringLiteral("R")));
            const QList<Batch> got = search(dirs, pattern, workers, mode, text);
            QDir::setCurrent(before);
            checkHits(got, tree.root, text, expected, batches);
        }
    }

    void childrenComeBeforeParentsAndRootsInOrder()
    {
        ByteTree tree;
        for (const char *entry : {"R/A/A1/hit-a1", "R/A/hit-a", "R/B/hit-b", "R/hit-r", "S/hit-s"})
            tree.add(entry);
        for (const int workers : {1, 2}) {
            QStringList dirs;
            for (const Batch &b : search({QDir(tree.path("S")), QDir(tree.path("R"))}, "hit", workers))
                dirs.append(b.dirName.mid(tree.path(QString()).size()));
            // A child's batch before its parent's, and a child's whole subtree together.
            const QStringList a{"R/A/A1", "R/A"}, b{"R/B"};
            QVERIFY2(dirs == QStringList{"S"} + a + b + QStringList{"R"} || dirs == QStringList{"S"} + b + a + QStringList{"R"},
                     qPrintable(dirs.join(' ')));
        }
    }

    void linkLatticeIsWalkedOnce()
    {
        // Each level links twice to the next: followed naively, the last level is reached 2^20 times.
        ByteTree tree;
        for (int i = 0; i <= 20; ++i) {
            const QByteArray level = "L" + QByteArray::number(i), next = "L" + QByteArray::number(i + 1);
            tree.add(level + "/match" + QByteArray::number(i));
            if (i < 20) {
                tree.add(level + "/a -> " + next);
                tree.add(level + "/b -> " + next);
            }
        }
        for (const int workers : {1, 2})
            QCOMPARE(hitNames(search({QDir(tree.path("L0"))}, "match", workers)).size(), 21);
    }

    void stopFromOutsideEndsPromptlyAndRestarts()
    {
        ByteTree tree;
        for (int i = 0; i < 3000; ++i)
            tree.add(QStringLiteral("R/d%1/match%1").arg(i).toUtf8());
        searchThread worker;
        worker.setSearchParam({QDir(tree.path("R"))}, {"match"}, QString(), Qt::CaseSensitive, true, false, false);
        // The worker holds on after its first batch until this thread has asked it to stop.
        QSemaphore firstBatchSent, stopAsked, finished;
        std::atomic<int> batches{0};
        QObject::connect(&worker, &searchThread::PushGotFiles, &worker, [&] {
            if (++batches == 1) {
                firstBatchSent.release();
                stopAsked.acquire();
            }
        }, Qt::DirectConnection);
        QObject::connect(&worker, &QThread::finished, &worker, [&] { finished.release(); }, Qt::DirectConnection);
        worker.start();
        QVERIFY(firstBatchSent.tryAcquire(1, 10000));
        worker.stopSearch();
        stopAsked.release();
        QVERIFY(finished.tryAcquire(1, 10000) && worker.wait(10000));
        QCOMPARE(batches.load(), 1);
        // The same worker runs the next search completely.
        worker.start();
        QVERIFY(finished.tryAcquire(1, 30000) && worker.wait(30000));
        QCOMPARE(batches.load(), 1 + 3000);
    }

    void sameBatchesAsOneThread_data()
    {
        QTest::addColumn<QStringList>("roots");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("flags");
        const QStringList roots{parallelTree.path("G"), parallelTree.path("G/d4")};   // the second: searched already
        QTest::newRow("names") << roots << "*" << "" << 0;
        QTest::newRow("names of text files") << roots << "*.txt" << "" << 0;
        QTest::newRow("text") << roots << "*" << "needle" << 0;
        QTest::newRow("text, any case") << roots << "*" << "NEEDLE" << int(IgnoreCase);
        QTest::newRow("deep text") << QStringList{parallelTree.path("G/d7"), parallelTree.path("G/d9")} << "*" << "needle" << int(Deep);
        QTest::newRow("roots alone") << QStringList{parallelTree.path("G/d6"), parallelTree.path("G/wide")} << "*" << "needle" << int(RootsAlone);
    #ifdef QUORVEL_SANITIZED
        const QString real = QStringLiteral("/usr/include/linux");   // a sample: the sanitizer is slow
    #else
        const QString real = QStringLiteral("/usr/include");
    #endif
        QTest::newRow("real tree, names") << QStringList{real} << "*.h" << "" << 0;
        QTest::newRow("real tree, text") << QStringList{real} << "*" << "struct stat" << int(IgnoreCase);
    }

    void sameBatchesAsOneThread()
    {
        QFETCH(QStringList, roots);
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(int, flags);
        if (!QFileInfo(roots.first()).isDir())
            QSKIP("no /usr/include on this system");
        QList<QDir> dirs;
        for (const QString &root : roots)
            dirs.append(QDir(root));
        const auto search = [&](int workers) {
            return runSearch(dirs, {pattern}, !(flags & RootsAlone), false, text, parallelTree.path("tmp"), workers,
                             flags & IgnoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive, flags & Deep);
        };
        const QList<Batch> one = search(1);
        QVERIFY(!one.isEmpty());
        for (const int workers : {2, 4})
            QCOMPARE(joined(search(workers)), joined(one));
    }

    void stopEndsEveryWorker()
    {
        // A 2 GB file (sparse) searched in every codec, beside directories that keep the others busy.
        TempTree tree;
        QFile big(tree.file("S/big.bin"));
        QVERIFY(big.open(QIODevice::ReadWrite) && big.resize(qint64(2) << 30));
        big.close();
        for (int f = 0; f < 200; ++f)
            tree.file(QStringLiteral("S/a/b%1/f.txt").arg(f), QByteArray("no needle\n").repeated(100));
        const int threadsBefore = threadsOfProcess();
        searchThread worker;
        worker.setSearchParam({QDir(tree.path("S"))}, {"*"}, "needle", Qt::CaseSensitive, true, false, true);
        worker.setTempDir(tree.dir("tmp"));
        worker.setWorkerCount(4);
        std::atomic<bool> stopped{false};
        std::atomic<int> late{0};
        QObject::connect(&worker, &searchThread::PushGotFiles, &worker, [&] { late += stopped ? 1 : 0; },
                         Qt::DirectConnection);
        worker.start();
        QTest::qWait(300);
        QVERIFY(worker.isRunning());
        worker.stopSearch();
        stopped = true;   // after: a batch already on its way when the stop came is no fault
        QVERIFY(worker.wait(20000));
        QCOMPARE(late.load(), 0);
        QTRY_COMPARE(threadsOfProcess(), threadsBefore);
    }

private:
    TempTree listingTree, parallelTree;
    QByteArray badName;

    // Holds the hits of `got` to `expected` and to what holds for every search.
    static void checkHits(const QList<Batch> &got, const QByteArray &root, const QString &text,
                             const QList<QByteArray> &expected, int batches)
    {
        QList<QByteArray> found;
        QHash<QByteArray, int> lastLine;
        for (const Batch &b : got) {
            QVERIFY(b.hits.size() <= 10000);
            for (const TFileInfo &hit : b.hits) {
                const QString shown = b.dirName + QLatin1Char('/') + hit.fileName;
                // The bytes are kept where the name cannot be shown; either way they lead to the entry.
                const QByteArray path = hit.rawPath.isEmpty() ? QFile::encodeName(shown) : hit.rawPath;
                QVERIFY(hit.rawPath.isEmpty() || shown.contains(QChar::ReplacementCharacter));
                struct stat st;
                QVERIFY2(path.size() >= PATH_MAX || hit.kind == TFileInfo::Kind::Archive || lstat(path.constData(), &st) == 0,
                         path.constData());
                QCOMPARE(hit.lineNo == 0, text.isEmpty());
                QVERIFY(hit.lineNo ? hit.lineNo > lastLine.value(path) : hit.lineText.isEmpty());
                lastLine[path] = hit.lineNo;
                found << (path.startsWith(root + '/') ? path.mid(root.size() + 1) : path)
                             + (hit.lineNo ? ':' + QByteArray::number(hit.lineNo) : QByteArray());
            }
        }
        std::sort(found.begin(), found.end());
        QCOMPARE(found, expected);
        if (batches >= 0)
            QCOMPARE(got.size(), batches);
    }
};

QTEST_GUILESS_MAIN(WalkTest)
#include "test_walk.moc"
