#include "archive/archivesearch.h"
#include "archivetesthelpers.h"
#include "rar4testwriter.h"
#include "stdoutcapture.h"
#include "temptree.h"
#include "ziptestwriter.h"

#include <QProcess>
#include <QTest>

// An entry that cannot be written to the temporary file is not searched: what an earlier entry
// left there must never turn up under its name. A running program cannot be opened for writing
// (not even by root); a copy of one at the temporary path stands in for such a file.
class UnwritableTempTest : public QObject
{
    Q_OBJECT

private slots:
    void zipEntryIsNotSearched();
    void rarEntryEndsTheArchive();

private:
    // Starts a copy of a program at `path`; it runs until the process object goes.
    bool runBusyCopy(const QString &path, QProcess &process);

    TempTree tree_;
};

namespace {

QList<TFileInfo> search(const QString &archive, const TSearchOptions &options)
{
    QList<TFileInfo> hits;
    searchArchive(archive, hits, &options);
    return hits;
}

} // namespace

bool UnwritableTempTest::runBusyCopy(const QString &path, QProcess &process)
{
    if (!QFile::copy("/bin/sleep", path) || !QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner))
        return false;
    process.start(path, {"30"});
    return process.waitForStarted();
}

void UnwritableTempTest::zipEntryIsNotSearched()
{
    REQUIRE_CONTENT_MATCHER();
    const QString temp = tree_.dir("zip/tmp");
    const QString busy = temp + "/zip.tmp";
    QProcess running;
    QVERIFY(runBusyCopy(busy, running));
    const QString zip = tree_.path("zip/b.zip");
    QVERIFY(writeZip(zip, {{"entry.txt", "nothing to find here\n"}}));

    const TSearchOptions probe = archiveOptions({"*"}, "GNU");
    QList<TFileInfo> staleHits;
    grepFile(&probe, busy, staleHits, "probe");
    QVERIFY2(!staleHits.isEmpty(), "the stand-in for an earlier entry must hold the text");

    StdoutCapture capture;
    const QList<TFileInfo> hits = search(zip, archiveOptions({"*"}, "GNU", temp));
    QCOMPARE(capture.finish(), QByteArray());
    QVERIFY(hits.isEmpty());
}

void UnwritableTempTest::rarEntryEndsTheArchive()
{
    const QString temp = tree_.dir("rar/tmp");
    QProcess running;
    QVERIFY(runBusyCopy(temp + "/rar.tmp", running));
    const QString rar = tree_.file("rar/b.rar", rar4Archive({{"a.txt", "GNU"}, {"b.txt", "GNU"}}));
    StdoutCapture capture;
    const QList<TFileInfo> hits = search(rar, archiveOptions({"*"}, "GNU", temp));
    QCOMPARE(capture.finish(), QByteArray("File create error"));
    QVERIFY(hits.isEmpty());
}

QTEST_GUILESS_MAIN(UnwritableTempTest)
#include "test_unwritabletemp.moc"
