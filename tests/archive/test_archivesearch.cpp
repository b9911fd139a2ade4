#include "archivetesthelpers.h"
#include "batchrecorder.h"
#include "archive/extractionplace.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <atomic>

#include <functional>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void addKinds()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("zip") << "zip";
    QTest::newRow("rar") << "rar";
}

// Runs `job` on a thread; false when it is still running after ten seconds, in which case the
// pipe is opened for writing, which lets a blocked open go on.
bool finishesWithoutBlocking(const std::function<void()> &job, const QString &pipe)
{
    std::unique_ptr<QThread> thread(QThread::create(job));
    thread->start();
    const bool finished = thread->wait(10000);
    if (!finished) {
        ::close(::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK));
        thread->wait();
    }
    return finished;
}

const QString sep = QDir::separator();

// Runs `job` on a thread that has been asked to stop, and returns when it is done. The
// atomic flag makes the hand-back visible to the thread sanitizer, which cannot see through
// Qt's own wait.
void runOnStoppedThread(const std::function<void()> &job)
{
    class StoppedThread : public QThread
    {
    public:
        explicit StoppedThread(const std::function<void()> &j) : job(j) {}
        void run() override
        {
            requestInterruption();
            job();
            done.store(true, std::memory_order_release);
        }
        const std::function<void()> &job;
        std::atomic<bool> done{false};
    } thread(job);
    thread.start();
    thread.wait();
    while (!thread.done.load(std::memory_order_acquire))
        QThread::yieldCurrentThread();
}

// The rows of a test that runs on the one-thread walk and on the parallel one.
void addWorkerRows()
{
    QTest::addColumn<int>("workers");
    QTest::newRow("one thread") << 1;
    QTest::newRow("two threads") << 2;
}

} // namespace

// What ZIP and RAR archives share, one row per kind, and what only ZIP has; then what others
// may leave where the search reads and writes: pipes named like the next volume or the ".zip"
// retry, links and foreign files at the extraction names, a foreign or linked extraction folder,
// and a second search using the same folder. Last, archives met by the directory walk, through
// the worker and through quorvel-search.
class ArchiveSearchTest : public QObject
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

    void nameHitsFollowArchiveOrder_data() { addKinds(); }
    void extractionCopiesEachEntry_data() { addKinds(); }
    void contentHitsCarryEntryNameAndLine_data() { addKinds(); }
    void stopEndsTheWalk_data() { addKinds(); }
    void nameHitsFollowArchiveOrder()
    {
        QFETCH(QString, suffix);
        const bool zip = suffix == "zip";
        const QList<Rar4TestEntry> entries = {{"sub", "", true}, {"sub/a.txt", "a"}, {"b.TXT", "b"}, {"sub/deeper/c.txt.bak", "c"}};
        const QString docs = "docs." + suffix.toUpper();  // the suffix counts in any case
        const QString path = writeArchive(tree_, suffix + "/names/" + docs, entries);
        ArchiveSearch all({"*"});
        const QList<TFileInfo> hits = all.run(path);
        QCOMPARE(hitNames(hits), QStringList({inArchive({docs, "sub"}) + (zip ? QString(QDir::separator()) : ""),
                                              inArchive({docs, "sub", "a.txt"}), inArchive({docs, "b.TXT"}),
                                              inArchive({docs, "sub", "deeper", "c.txt.bak"})}));
        QVERIFY(hits.first().lineNo == 0 && hits.first().lineText.isEmpty());
        QCOMPARE(all.messages(), QByteArray());
        QCOMPARE(hitNames(ArchiveSearch({"a.txt"}).run(path)), QStringList({inArchive({docs, "sub", "a.txt"})}));
        // A ZIP directory entry's last part is empty.
        QCOMPARE(ArchiveSearch({"*SUB*"}).run(path).size(), zip ? 0 : 1);
        for (const QString &other : QStringList{"x." + suffix + "x", "x.r00", "x." + suffix + ".bak"})
            QVERIFY(ArchiveSearch({"*"}).run(tree_.file(suffix + "/names/" + other, readFile(path))).isEmpty());
    }

    void extractionCopiesEachEntry()
    {
        QFETCH(QString, suffix);
        QByteArray text, binary(70000, '\0');
        for (int i = 0; i < 80000; ++i)   // past 1 MB: a ZIP entry up to that is searched in memory
            text += "row " + QByteArray::number(i * 7919 % 100003) + " \xe4\xb8\xad\r\n";
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char((i * 131 + i / 7) & 0xff);
        const QString temp = tree_.dir(suffix + "/extract/tmp"), extracted = temp + "/" + suffix + ".tmp";
        const QString path = writeArchive(tree_, suffix + "/extract/e." + suffix,
                                          {{"big.txt", text}, {"empty.txt", ""}, {"bin/b.bin", binary}, {"folder", "", true}});
        tree_.file(suffix + "/extract/tmp/" + suffix + ".tmp", QByteArray(200000, 'z'));  // longer leftovers go
        for (const auto &[name, data] : {std::pair{"big.txt", text}, {"b.bin", binary}, {"empty.txt", QByteArray()}}) {
            ArchiveSearch({name}, "needle", temp).run(path);
            QVERIFY(QFileInfo(extracted).isFile());
            QCOMPARE(readFile(extracted), suffix == "zip" ? text : data);
        }
        // A RAR directory entry leaves a directory at the name, which the next extraction replaces;
        // a ZIP one is never extracted.
        ArchiveSearch all({"*"}, "x", temp);
        all.run(path);
        QCOMPARE(all.messages(), QByteArray());
        QCOMPARE(QFileInfo(extracted).isDir(), suffix == "rar");
        QCOMPARE(readFile(extracted), suffix == "zip" ? text : QByteArray());
        ArchiveSearch({"big.txt"}, "x", temp).run(path);
        QCOMPARE(readFile(extracted), text);
    }

    void contentHitsCarryEntryNameAndLine()
    {
        QFETCH(QString, suffix);
        const QString path = writeArchive(tree_, suffix + "/content/c." + suffix,
                                          {{"sub", "", true}, {"sub/a.txt", "line 1\nline 2\nline 3 needle\nline 4\n"},
                                           {"b.txt", "nothing\n"}, {"c.txt", "needle first\r\nsecond\r\nneedle third"}});
        const QString a = inArchive({"c." + suffix, "sub", "a.txt"}), c = inArchive({"c." + suffix, "c.txt"});
        ArchiveSearch search({"*"}, "needle", tree_.dir(suffix + "/content/tmp"));
        QCOMPARE(search.run(path), QList<TFileInfo>({{a, 3, "line 3 needle"}, {c, 1, "needle first"}, {c, 3, "needle third"}}));
        QCOMPARE(search.messages(), QByteArray());
    }

    void stopEndsTheWalk()
    {
        QFETCH(QString, suffix);
        const QString temp = tree_.dir(suffix + "/stop/tmp");
        const QString path = writeArchive(tree_, suffix + "/stop/s." + suffix, {{"a.txt", "a"}, {"b.txt", "b"}});
        QList<TFileInfo> hits;
        ArchiveSearch names({"*"}), content({"*"}, "a", temp);
        runOnStoppedThread([&] { hits += names.run(path) + content.run(path); });
        QCOMPARE(names.messages() + content.messages(), QByteArray());
        QVERIFY(hits.isEmpty());
        QVERIFY(!QFileInfo::exists(temp + "/" + suffix + ".tmp"));
    }

    void openFailures_data()
    {
        // What stands at the archive's path; the diagnostic with %s for the path.
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("output");
        const QByteArray zipFailed = "Cannot open %s or %s.zip\n";
        QTest::newRow("zip text") << "t.zip" << QByteArray("just text\n") << zipFailed;
        QTest::newRow("zip missing") << "m.zip" << QByteArray() << zipFailed;
        QTest::newRow("zip cut") << "c.zip" << QByteArray("PK\x03\x04\x14\0\0\0\x08\0", 10) << zipFailed;
        QTest::newRow("zip no entries") << "n.zip" << QByteArray("none") << QByteArray();
        QTest::newRow("rar text") << "t.rar" << QByteArray("Rar? no, just text") << QByteArray("\n%s is not RAR archive");
        QTest::newRow("rar missing") << "m.rar" << QByteArray() << QByteArray("\nCannot open %s");
        QTest::newRow("rar no entries") << "n.rar" << QByteArray("none") << QByteArray();
    }

    void openFailures()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, output);
        const QString path = tree_.path("open/" + name);
        if (content == "none")  // an archive without entries
            writeArchive(tree_, "open/" + name, {});
        else if (!content.isNull())
            tree_.file("open/" + name, content);
        ArchiveSearch search({"*"}, "a", tree_.dir("open/tmp"));
        QVERIFY(search.run(path).isEmpty());
        QCOMPARE(search.messages(), output.replace("%s", QFile::encodeName(path)));
    }

    void zipRetriesWithZipSuffix()
    {
        // x.zip.zip is read when x.zip is no archive.
        const QString retried = tree_.file("retry/x.zip", "not an archive");
        writeArchive(tree_, "retry/x.zip.zip", {{"inside.txt", "y"}});
        ArchiveSearch names({"*"});
        QCOMPARE(hitNames(names.run(retried)), QStringList({inArchive({"x.zip", "inside.txt"})}));
        QCOMPARE(names.messages(), QByteArray());
    }

    void zipLongEntryNames()
    {
        tree_.dir("names");
        const QByteArray longName = "folder/" + QByteArray(300, 'n') + ".txt";
        const QByteArray longerName = QByteArray(70, 'd') + '/' + QByteArray(1000, 'm') + ".log";
        const QString zip = tree_.path("names/l.zip");
        QVERIFY(writeZip(zip, {{longName, "1"}, {"short.txt", "2"}, {longerName, "3"}}));
        const auto native = [](const QByteArray &name) { return QDir::toNativeSeparators(QString::fromLatin1(name)); };
        QCOMPARE(hitNames(ArchiveSearch({"*"}).run(zip)), QStringList({inArchive({"l.zip", native(longName)}),
                                                                       inArchive({"l.zip", "short.txt"}),
                                                                       inArchive({"l.zip", native(longerName)})}));
    }

    void pipesNamedLikeArchivesNeverHang()
    {
        const QList<QByteArray> volumes = rar4Volumes({{"head.txt", "h"}, {"split.txt", QByteArray(30000, 's')}},
                                                      {10000, true, true});
        const QString first = tree_.file("fifo/v.part1.rar", volumes.at(0));
        const QString notZip = tree_.file("fifo/x.zip", "not an archive");
        for (const QString &pipe : {tree_.path("fifo/v.part2.rar"), notZip + ".zip"})
            QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0666) == 0);
        // A missing next volume gives the set up without asking; what came before stays.
        ArchiveSearch names({"*"}), content({"*"}, "s", tree_.dir("fifo/tmp"));
        QList<TFileInfo> hits;
        QVERIFY2(finishesWithoutBlocking([&] { hits = names.run(first) + content.run(first); }, tree_.path("fifo/v.part2.rar")),
                 "a pipe as the next volume");
        QCOMPARE(hitNames(hits), QStringList({inArchive({"v.part1.rar", "head.txt"}), inArchive({"v.part1.rar", "split.txt"})}));
        QVERIFY(names.messages().endsWith("Volume open error") && content.messages().endsWith("Volume open error"));
        QVERIFY2(finishesWithoutBlocking([&] { hits = names.run(notZip); }, notZip + ".zip"), "a pipe as the .zip retry");
        QVERIFY(hits.isEmpty());
    }

    // What stands at the extraction name is replaced, never written into: a hard or symbolic
    // link to someone's file, or a file another user left writable for all.
    void extractionNeverWritesIntoWhatStandsAtTheName_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("placed");
        for (const char *suffix : {"zip", "rar"}) {
            for (const char *placed : {"hard link", "symbolic link", "writable file"})
                QTest::addRow("%s %s", suffix, placed) << suffix << placed;
        }
    }
    void extractionNeverWritesIntoWhatStandsAtTheName()
    {
        QFETCH(QString, suffix);
        QFETCH(QString, placed);
        const QString dir = QString("names/") + QTest::currentDataTag(), temp = tree_.dir(dir + "/tmp");
        const QString victim = tree_.file(dir + "/victim.txt", "keep me"), name = temp + "/" + suffix + ".tmp";
        if (placed == "hard link")
            QVERIFY(::link(QFile::encodeName(victim).constData(), QFile::encodeName(name).constData()) == 0);
        else if (placed == "symbolic link")
            tree_.link(dir + "/tmp/" + suffix + ".tmp", victim);
        else
            QVERIFY(QFile::copy(victim, name) && ::chmod(QFile::encodeName(name).constData(), 0666) == 0);
        QFile standing(name);
        QVERIFY(standing.open(QIODevice::ReadOnly));   // keeps the bytes that stood there readable
        const QString path = writeArchive(tree_, dir + "/a." + suffix, {{"a.txt", "needle\n" + QByteArray(1 << 21, '\n')}});
        QCOMPARE(ArchiveSearch({"*"}, "needle", temp).run(path), QList<TFileInfo>({{inArchive({"a." + suffix, "a.txt"}), 1, "needle"}}));
        QCOMPARE(QFileInfo(name).permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::WriteGroup), QFile::Permissions());
        QVERIFY(!QFileInfo(name).isSymLink());
        QCOMPARE(readFile(victim) + standing.readAll(), QByteArray("keep mekeep me"));
    }

    void foreignOrLinkedFolderGivesWayToThePerUserOne()
    {
        const QString zip = writeArchive(tree_, "folders/a.zip", {{"a.txt", "needle\n" + QByteArray(1 << 21, '\n')}});
        const QString elsewhere = tree_.dir("folders/elsewhere");
        const QString perUser = ExtractionPlace::perUserFolder();
        QFile::remove(perUser + "/zip.tmp");
        QCOMPARE(ArchiveSearch({"*"}, "needle", tree_.link("folders/linked", elsewhere)).run(zip).size(), 1);
        QVERIFY2(!QFileInfo::exists(elsewhere + "/zip.tmp"), "extracted through a linked folder");
        QVERIFY(QFileInfo(perUser + "/zip.tmp").isFile());   // the entry is past 1 MB
        if (::geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        const QString foreign = tree_.dir("folders/foreign");
        QVERIFY(::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0);
        QCOMPARE(ArchiveSearch({"*"}, "needle", foreign).run(zip).size(), 1);
        QVERIFY2(!QFileInfo::exists(foreign + "/zip.tmp"), "extracted into another user's folder");
    }

    void uncleanableNameGivesWayToAUniqueFile()
    {
        const QString temp = tree_.dir("full/tmp");
        tree_.file("full/tmp/rar.tmp/inside.txt", "a folder with files cannot be removed");
        const QString rar = tree_.file("full/a.rar", rar4Archive({{"d", "", true}, {"r.txt", "needle\n"}}));
        ArchiveSearch search({"*"}, "needle", temp);
        QCOMPARE(search.run(rar), QList<TFileInfo>({{inArchive({"a.rar", "r.txt"}), 1, "needle"}}));
        QCOMPARE(search.messages(), QByteArray());
        // The unique file goes with the search; the lock file stays for the next one.
        QCOMPARE(QDir(temp).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot), QStringList({"rar.tmp", "rar.tmp.lock"}));
    }

    void secondSearchOnTheSameFolderUsesItsOwnFile()
    {
        const QString temp = tree_.dir("shared/tmp");
        ExtractionPlace running(temp);
        const QString held = QString::fromStdString(running.clearedPath("zip.tmp"));
        QCOMPARE(held, temp + "/zip.tmp");
        tree_.file("shared/tmp/zip.tmp", "the running search's entry\n");
        const QString zip = writeArchive(tree_, "shared/a.zip", {{"a.txt", "needle\n"}, {"b.txt", "needle too\n"}});
        QCOMPARE(ArchiveSearch({"*"}, "needle", temp).run(zip).size(), 2);
        QCOMPARE(readFile(held), QByteArray("the running search's entry\n"));
        QCOMPARE(QDir(temp).entryList(QDir::Files), QStringList({"zip.tmp", "zip.tmp.lock"}));
    }

    void archiveHitsFollowTheFilePass_data() { addWorkerRows(); }

    void archiveHitsFollowTheFilePass()
    {
        QFETCH(int, workers);
        const QList<Batch> names = runSearch({QDir(tree_.path("R"))}, {"*"}, true, false, QString(), tree_.path("tmp"), workers);
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
        const QList<Batch> content = runSearch({QDir(tree_.path("R"))}, {"*"}, true, false, "needle", tree_.path("tmp"), workers);
        QCOMPARE(content.size(), 2);
        QCOMPARE(content.at(0).hits, QList<TFileInfo>({{"c.zip" + sep + "deep.txt", 1, "needle deep"}}));
        QCOMPARE(content.at(1).hits, expectedLines);
    }

    void stopDuringAnArchiveSendsNothingMore_data() { addWorkerRows(); }

    void stopDuringAnArchiveSendsNothingMore()
    {
        QFETCH(int, workers);
        // One archive: entries with hits, then one past 1 MB (it goes to the extraction file,
        // which tells the walk is there), then many more. The stop arrives while the archive is
        // being walked: the hits found before it are not sent.
        TempTree tree;
        QList<Rar4TestEntry> entries;
        for (int i = 0; i < 100; ++i)
            entries.append({"hit" + QByteArray::number(i) + ".txt", "needle\n"});
        entries.append({"large.txt", QByteArray(3 << 20, 'x')});
        for (int i = 0; i < 20000; ++i)
            entries.append({"e" + QByteArray::number(i) + ".txt", QByteArray(2000, 'x')});
        writeArchive(tree, "S/many.zip", entries);
        searchThread worker;
        worker.setSearchParam({QDir(tree.path("S"))}, {"*"}, "needle", Qt::CaseSensitive, true, false, false);
        worker.setTempDir(tree.dir("tmp"));
        worker.setWorkerCount(workers);
        std::atomic<int> batches{0};
        QObject::connect(&worker, &searchThread::PushGotFiles, &worker, [&] { ++batches; }, Qt::DirectConnection);
        worker.start();
        QElapsedTimer waited;
        waited.start();
        while (!QFileInfo::exists(tree.path("tmp/zip.tmp")) && waited.elapsed() < 10000)
            QThread::usleep(100);
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
        process.setEnvironment(QProcess::systemEnvironment() << "TMPDIR=" + tmpdir);
        process.start(QStringLiteral(QUORVEL_SEARCH_BIN), {"-d", tree_.path("R") + ";" + tree_.path("V"), "-t", "needle"});
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

QTEST_GUILESS_MAIN(ArchiveSearchTest)
#include "test_archivesearch.moc"
