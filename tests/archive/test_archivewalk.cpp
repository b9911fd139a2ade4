#include "archivetesthelpers.h"
#include "batchrecorder.h"

#include <QProcess>

#include <atomic>

// Archives met by the directory walk, through the worker and through quorvel-search.

namespace {

const QString sep = QDir::separator();

QList<Batch> runWorker(const QString &root, const QString &text, const QString &tempDir)
{
    return runSearch({QDir(root)}, {"*"}, true, false, text, tempDir);
}

} // namespace

class ArchiveWalkTest : public QObject
{
    Q_OBJECT

    TempTree tree_;

private slots:
    void initTestCase()
    {
        tree_.file("R/a.txt", "plain a\nneedle in a file\n");
        writeArchive(tree_, "R/notes.zip", {{"in/one.txt", "needle one\n"}, {"two.log", "x"}, {"three.txt", "3"}});
        tree_.file("R/b.txt", "plain b\n");
        writeArchive(tree_, "R/box.rar", {{"r.txt", "r\nneedle r\n"}, {"folder", "", true}});
        writeArchive(tree_, "R/UPPER.ZIP", {{"u.txt", "needle u\n"}});
        writeArchive(tree_, "R/sub/c.zip", {{"deep.txt", "needle deep\n"}});
        tree_.dir("tmp");
    }

    void archiveHitsFollowTheFilePass()
    {
        const QList<Batch> names = runWorker(tree_.path("R"), QString(), tree_.path("tmp"));
        QCOMPARE(names.size(), 2);
        QCOMPARE(names.at(0).dirName, QDir::toNativeSeparators(tree_.path("R/sub")));
        QCOMPARE(hitNames(names.at(0).hits), QStringList({"c.zip", "c.zip" + sep + "deep.txt"}));
        // The file pass names every entry of the directory in listing order, archives included;
        // the archive pass follows with each archive's entries, the archives in that same order.
        QCOMPARE(names.at(1).dirName, QDir::toNativeSeparators(tree_.path("R")));
        const QStringList found = hitNames(names.at(1).hits);
        const QStringList listed = found.mid(0, 6);
        QCOMPARE(sorted(listed), QStringList({"UPPER.ZIP", "a.txt", "b.txt", "box.rar", "notes.zip", "sub"}));
        const QMap<QString, QStringList> inside = {
            {"notes.zip", {"in" + sep + "one.txt", "two.log", "three.txt"}}, {"box.rar", {"r.txt", "folder"}}, {"UPPER.ZIP", {"u.txt"}}};
        const QMap<QString, QList<TFileInfo>> lines = {{"notes.zip", {{"notes.zip" + sep + "in" + sep + "one.txt", 1, "needle one"}}},
                                                       {"box.rar", {{"box.rar" + sep + "r.txt", 2, "needle r"}}},
                                                       {"UPPER.ZIP", {{"UPPER.ZIP" + sep + "u.txt", 1, "needle u"}}}};
        QStringList expected = listed;
        QList<TFileInfo> expectedLines = {{"a.txt", 2, "needle in a file"}};
        for (const QString &name : listed) {
            for (const QString &entry : inside.value(name))
                expected.append(name + sep + entry);
            expectedLines += lines.value(name);
        }
        QCOMPARE(found, expected);
        // A content search reaches into the archives in the same order.
        const QList<Batch> content = runWorker(tree_.path("R"), "needle", tree_.path("tmp"));
        QCOMPARE(content.size(), 2);
        QCOMPARE(content.at(0).hits, QList<TFileInfo>({{"c.zip" + sep + "deep.txt", 1, "needle deep"}}));
        QCOMPARE(content.at(1).hits, expectedLines);
    }

    void stopDuringAnArchiveSendsNothingMore()
    {
        // One archive with many entries; the stop arrives while it is being walked (the first,
        // past 1 MB, goes to the extraction file, which tells the walk has begun).
        TempTree tree;
        QList<Rar4TestEntry> entries{{"first.txt", QByteArray(3 << 20, 'x')}};
        for (int i = 0; i < 3000; ++i)
            entries.append({"e" + QByteArray::number(i) + ".txt", QByteArray(2000, 'x')});
        writeArchive(tree, "S/many.zip", entries);
        searchThread worker;
        worker.setSearchParam({QDir(tree.path("S"))}, {"*"}, "needle", Qt::CaseSensitive, true, false, false);
        worker.setTempDir(tree.dir("tmp"));
        std::atomic<int> batches{0};
        QObject::connect(&worker, &searchThread::PushGotFiles, &worker, [&] { ++batches; }, Qt::DirectConnection);
        worker.start();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(tree.path("tmp/zip.tmp")), 10000);
        worker.stopSearch();
        QVERIFY(worker.wait(5000));
        QCOMPARE(batches.load(), 0);
    }

    void commandLineKeepsDiagnosticsApartAndCleansUp()
    {
        // Beside R, a volume set whose second volume is missing: the command line never waits for it.
        const QList<QByteArray> volumes = rar4Volumes({{"v.txt", QByteArray(20000, 'v')}}, {8000, true, true});
        tree_.file("V/set.part1.rar", volumes.at(0));
        tree_.file("V/set.part3.rar", volumes.at(2));
        const QString tmpdir = tree_.dir("clitmp");
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", tmpdir);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(QUORVEL_SEARCH_BIN), {"-d", tree_.root(), "-t", "needle"});
        QVERIFY(process.waitForFinished(60000));
        const QByteArray out = process.readAllStandardOutput(), err = process.readAllStandardError();
        QCOMPARE(process.exitCode(), 0);
        const QString root = tree_.path("R");
        QVERIFY(out.contains((root + "/box.rar/r.txt:2:needle r\n").toUtf8()));
        QVERIFY(out.contains((root + "/sub/c.zip/deep.txt:1:needle deep\n").toUtf8()));
        QVERIFY(err.contains("\n\nVolume " + QFile::encodeName(tree_.path("V/set.part2.rar")) + " is required\n"));
        QVERIFY(err.contains("\nEnter your choice: Volume open error"));
        QVERIFY(!out.contains("Volume"));
        // The command line's extraction folder goes away with it.
        QCOMPARE(QDir(tmpdir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }
};

QTEST_GUILESS_MAIN(ArchiveWalkTest)
#include "test_archivewalk.moc"
