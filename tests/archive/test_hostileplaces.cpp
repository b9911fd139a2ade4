// What others may leave where the archive search reads and writes: pipes named like the next
// volume or the ".zip" retry, links and foreign files at the extraction names, a foreign or
// linked extraction folder, and a second search using the same folder.

#include "archivetesthelpers.h"
#include "archive/extractionplace.h"

#include <QFileInfo>
#include <QTest>
#include <QThread>

#include <functional>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class HostilePlacesTest : public QObject
{
    Q_OBJECT

private slots:
    void pipesNamedLikeArchivesNeverHang();
    void extractionNeverWritesIntoWhatStandsAtTheName();
    void foreignOrLinkedFolderGivesWayToThePerUserOne();
    void uncleanableNameGivesWayToAUniqueFile();
    void secondSearchOnTheSameFolderUsesItsOwnFile();

private:
    TempTree tree_;
};

namespace {

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

} // namespace

void HostilePlacesTest::pipesNamedLikeArchivesNeverHang()
{
    const QList<QByteArray> volumes = rar4Volumes({{"head.txt", "h"}, {"split.txt", QByteArray(30000, 's')}},
                                                  {10000, true, true});
    const QString first = tree_.file("fifo/v.part1.rar", volumes.at(0));
    const QString notZip = tree_.file("fifo/x.zip", "not an archive");
    for (const QString &pipe : {tree_.path("fifo/v.part2.rar"), notZip + ".zip"})
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0666) == 0);
    ArchiveSearch search({"*"}, "s", tree_.dir("fifo/tmp"));
    QList<TFileInfo> hits;
    QVERIFY2(finishesWithoutBlocking([&] { hits = search.run(first); }, tree_.path("fifo/v.part2.rar")),
             "a pipe as the next volume");
    QVERIFY(search.messages().endsWith("Volume open error"));
    QVERIFY2(finishesWithoutBlocking([&] { hits = search.run(notZip); }, notZip + ".zip"), "a pipe as the .zip retry");
    QVERIFY(hits.isEmpty());
}

void HostilePlacesTest::extractionNeverWritesIntoWhatStandsAtTheName()
{
    const QString temp = tree_.dir("names/tmp");
    // A hard link to someone's file, and a file another user left writable for all.
    const QString victim = tree_.file("names/victim.txt", "keep me");
    QVERIFY(::link(QFile::encodeName(victim).constData(), QFile::encodeName(temp + "/zip.tmp").constData()) == 0);
    const QString placed = tree_.file("names/tmp/rar.tmp", "placed");
    QVERIFY(::chmod(QFile::encodeName(placed).constData(), 0666) == 0);
    QFile placedFile(placed);
    QVERIFY(placedFile.open(QIODevice::ReadOnly));   // keeps the placed file's bytes readable
    for (const QString &suffix : QStringList{"zip", "rar"}) {
        const QString path = writeArchive(tree_, "names/a." + suffix, {{"a.txt", "needle in " + suffix.toUtf8() + "\n"}});
        QCOMPARE(ArchiveSearch({"*"}, "needle", temp).run(path),
                 QList<TFileInfo>({{inArchive({"a." + suffix, "a.txt"}), 1, "needle in " + suffix}}));
        QCOMPARE(QFileInfo(temp + "/" + suffix + ".tmp").permissions()
                     & (QFile::ReadOther | QFile::WriteOther | QFile::WriteGroup),
                 QFile::Permissions());
    }
    QCOMPARE(readFile(victim), QByteArray("keep me"));
    QCOMPARE(placedFile.readAll(), QByteArray("placed"));
}

void HostilePlacesTest::foreignOrLinkedFolderGivesWayToThePerUserOne()
{
    const QString zip = writeArchive(tree_, "folders/a.zip", {{"a.txt", "needle\n"}});
    const QString elsewhere = tree_.dir("folders/elsewhere");
    const QString perUser = ExtractionPlace::perUserFolder();
    QFile::remove(perUser + "/zip.tmp");
    QCOMPARE(ArchiveSearch({"*"}, "needle", tree_.link("folders/linked", elsewhere)).run(zip).size(), 1);
    QVERIFY2(!QFileInfo::exists(elsewhere + "/zip.tmp"), "extracted through a linked folder");
    QVERIFY(QFileInfo(perUser + "/zip.tmp").isFile());
    if (::geteuid() != 0)
        QSKIP("giving a folder to another user needs root");
    const QString foreign = tree_.dir("folders/foreign");
    QVERIFY(::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0);
    QCOMPARE(ArchiveSearch({"*"}, "needle", foreign).run(zip).size(), 1);
    QVERIFY2(!QFileInfo::exists(foreign + "/zip.tmp"), "extracted into another user's folder");
}

void HostilePlacesTest::uncleanableNameGivesWayToAUniqueFile()
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

void HostilePlacesTest::secondSearchOnTheSameFolderUsesItsOwnFile()
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

QTEST_GUILESS_MAIN(HostilePlacesTest)
#include "test_hostileplaces.moc"
