#include "archivetesthelpers.h"
#include "rar4testwriter.h"
#include "batchrecorder.h"
#include "walk/searchthread.h"
#include "temptree.h"
#include "ziptestwriter.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <atomic>

// Archives met by the directory walk, through the worker and through quorvel-search.
class ArchiveWalkTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void archiveHitsFollowTheFilePass();
    void contentSearchReachesIntoArchives();
    void stopDuringAnArchiveSendsNothingMore();
    void commandLineFindsEntries();
    void commandLineNeverWaitsForAVolume();

private:
    TempTree tree_;
};

namespace {

QList<Batch> runWorker(const QString &root, const QStringList &patterns, const QString &text, const QString &tempDir)
{
    return runSearch({QDir(root)}, patterns, true, false, text, tempDir);
}

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run runCli(const QStringList &args, const QString &tmpdir)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", tmpdir);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUORVEL_SEARCH_BIN), args);
    if (!process.waitForFinished(60000))
        qFatal("quorvel-search did not finish");
    return Run{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
               process.readAllStandardError()};
}


} // namespace

void ArchiveWalkTest::initTestCase()
{
    tree_.file("R/a.txt", "plain a\nneedle in a file\n");
    QVERIFY(writeZip(tree_.path("R/notes.zip"), {{"in/one.txt", "needle one\n"}, {"two.log", "x"}, {"three.txt", "3"}}));
    tree_.file("R/b.txt", "plain b\n");
    tree_.file("R/box.rar", rar4Archive({{"r.txt", "r\nneedle r\n"}, {"folder", "", true}}));
    QVERIFY(writeZip(tree_.path("R/UPPER.ZIP"), {{"u.txt", "needle u\n"}}));
    tree_.dir("R/sub");
    QVERIFY(writeZip(tree_.path("R/sub/c.zip"), {{"deep.txt", "needle deep\n"}}));
    tree_.dir("tmp");
}

void ArchiveWalkTest::archiveHitsFollowTheFilePass()
{
    const QList<Batch> batches = runWorker(tree_.path("R"), {"*"}, QString(), tree_.path("tmp"));
    QCOMPARE(batches.size(), 2);
    QCOMPARE(batches.at(0).dirName, QDir::toNativeSeparators(tree_.path("R/sub")));
    QCOMPARE(hitNames(batches.at(0).hits), QStringList({"c.zip", "c.zip" + sep() + "deep.txt"}));

    // The file pass names every entry of the directory in listing order, archives included;
    // the archive pass follows with each archive's entries, the archives in that same order.
    QCOMPARE(batches.at(1).dirName, QDir::toNativeSeparators(tree_.path("R")));
    const QStringList names = hitNames(batches.at(1).hits);
    const QStringList listed = names.mid(0, 6);
    QCOMPARE(sorted(listed), QStringList({"UPPER.ZIP", "a.txt", "b.txt", "box.rar", "notes.zip", "sub"}));
    const QMap<QString, QStringList> inside = {
        {"notes.zip", {"in" + sep() + "one.txt", "two.log", "three.txt"}},
        {"box.rar", {"r.txt", "folder"}},
        {"UPPER.ZIP", {"u.txt"}},
    };
    QStringList expected = listed;
    for (const QString &name : listed) {
        for (const QString &entry : inside.value(name))
            expected.append(name + sep() + entry);
    }
    QCOMPARE(names, expected);
}

void ArchiveWalkTest::contentSearchReachesIntoArchives()
{
    REQUIRE_CONTENT_MATCHER();
    const QList<Batch> batches = runWorker(tree_.path("R"), {"*"}, "needle", tree_.path("tmp"));
    QCOMPARE(batches.size(), 2);
    QCOMPARE(batches.at(0).hits, QList<TFileInfo>({{"c.zip" + sep() + "deep.txt", 1, "needle deep"}}));
    const QMap<QString, QList<TFileInfo>> inside = {
        {"notes.zip", {{"notes.zip" + sep() + "in" + sep() + "one.txt", 1, "needle one"}}},
        {"box.rar", {{"box.rar" + sep() + "r.txt", 2, "needle r"}}},
        {"UPPER.ZIP", {{"UPPER.ZIP" + sep() + "u.txt", 1, "needle u"}}},
    };
    QList<TFileInfo> expected = {{"a.txt", 2, "needle in a file"}};
    // Archives in listing order, as a name search's file pass gives them.
    for (const QString &name : hitNames(runWorker(tree_.path("R"), {"*"}, QString(), tree_.path("tmp")).at(1).hits))
        expected += inside.value(name);
    QCOMPARE(batches.at(1).hits, expected);
}

void ArchiveWalkTest::stopDuringAnArchiveSendsNothingMore()
{
    // One archive with many entries; the stop arrives while it is being walked.
    TempTree tree;
    QList<ZipTestEntry> entries;
    for (int i = 0; i < 3000; ++i)
        entries.append({"e" + QByteArray::number(i) + ".txt", QByteArray(2000, 'x')});
    tree.dir("S");
    QVERIFY(writeZip(tree.path("S/many.zip"), entries));
    tree.dir("tmp");
    searchThread worker;
    worker.setSearchParam({QDir(tree.path("S"))}, {"*"}, "needle", Qt::CaseSensitive, true, false, false);
    worker.setTempDir(tree.path("tmp"));
    std::atomic<int> batches{0};
    QObject::connect(&worker, &searchThread::PushGotFiles, &worker, [&] { ++batches; }, Qt::DirectConnection);
    worker.start();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(tree.path("tmp/zip.tmp")), 10000);
    worker.stopSearch();
    QVERIFY(worker.wait(5000));
    QCOMPARE(batches.load(), 0);
}

void ArchiveWalkTest::commandLineFindsEntries()
{
    const QString tmpdir = tree_.dir("clitmp");
    const Run names = runCli({"-d", tree_.path("R"), "-n", "*.txt"}, tmpdir);
    QCOMPARE(names.status, 0);
    const QString root = tree_.path("R");
    for (const QString &hit : {root + "/notes.zip/in/one.txt", root + "/box.rar/r.txt", root + "/UPPER.ZIP/u.txt",
                               root + "/sub/c.zip/deep.txt", root + "/a.txt"})
        QVERIFY2(names.out.contains((hit + "\n").toUtf8()), qPrintable(hit));
    QVERIFY(!names.out.contains("two.log"));

    if (contentMatcherReady()) {
        const Run content = runCli({"-d", tree_.path("R"), "-t", "needle"}, tmpdir);
        QCOMPARE(content.status, 0);
        QVERIFY(content.out.contains((root + "/box.rar/r.txt:2:needle r\n").toUtf8()));
        QVERIFY(content.out.contains((root + "/sub/c.zip/deep.txt:1:needle deep\n").toUtf8()));
    }
    // The command line's extraction folder goes away with it.
    QCOMPARE(QDir(tmpdir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void ArchiveWalkTest::commandLineNeverWaitsForAVolume()
{
    TempTree tree;
    QByteArray data;
    for (int i = 0; i < 2000; ++i)
        data += "volume line " + QByteArray::number(i) + "\n";
    const QList<QByteArray> volumes = rar4Volumes({{"v.txt", data}}, {8000, true, true});
    QVERIFY(volumes.size() >= 3);
    tree.file("V/set.part1.rar", volumes.at(0));
    tree.file("V/set.part3.rar", volumes.at(2));
    const QString tmpdir = tree.dir("clitmp");
    const Run run = runCli({"-d", tree.path("V"), "-t", "volume"}, tmpdir);
    // The command line keeps the readers' diagnostics off its stream of hits.
    const QByteArray second = QFile::encodeName(tree.path("V/set.part2.rar"));
    QVERIFY(run.err.contains("\n\nVolume " + second + " is required\n"));
    QVERIFY(run.err.contains("\nEnter your choice: Volume open error"));
    QVERIFY(!run.out.contains("Volume"));
    QCOMPARE(run.status, 1);
}

QTEST_GUILESS_MAIN(ArchiveWalkTest)
#include "test_archivewalk.moc"
