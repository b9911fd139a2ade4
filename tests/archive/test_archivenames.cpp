#include "archive/archivesearch.h"
#include "archivetesthelpers.h"
#include "archive/rarvolumenames.h"

#include <QTest>

class ArchiveNamesTest : public QObject
{
    Q_OBJECT

private slots:
    void entryNamesMatchByTheirLastPart();
    void emptyLastPartOfDirectoryEntries();
    void hitNamesJoinArchiveAndEntry();
    void temporaryFilesLiveInTheGivenFolder();
    void followingVolumesByNumber();
    void followingVolumesByExtension();
};

void ArchiveNamesTest::entryNamesMatchByTheirLastPart()
{
    const TSearchOptions exact = archiveOptions({"a.txt"});
    QVERIFY(matchEntryName(&exact, "sub/a.txt"));
    QVERIFY(matchEntryName(&exact, "A.TXT"));
    QVERIFY(!matchEntryName(&exact, "a.txt.bak"));
    QVERIFY(!matchEntryName(&exact, "a.txt/other"));
    // Only "/" separates: a backslash belongs to the name.
    QVERIFY(!matchEntryName(&exact, "sub\\a.txt"));

    const TSearchOptions contains = archiveOptions({"*.doc*", "*read*"});
    QVERIFY(matchEntryName(&contains, "x/y/report.docx"));
    QVERIFY(matchEntryName(&contains, "ReadMe"));
    QVERIFY(!matchEntryName(&contains, "docs/notes.txt"));

    const TSearchOptions none = archiveOptions({});
    QVERIFY(!matchEntryName(&none, "anything"));
    QVERIFY(!matchEntryName(&none, ""));
}

void ArchiveNamesTest::emptyLastPartOfDirectoryEntries()
{
    const TSearchOptions all = archiveOptions({"*"});
    QVERIFY(matchEntryName(&all, "sub/"));
    const TSearchOptions some = archiveOptions({"*sub*"});
    QVERIFY(!matchEntryName(&some, "sub/"));
}

void ArchiveNamesTest::hitNamesJoinArchiveAndEntry()
{
    QCOMPARE(archiveHitName("/data/docs.zip", "sub/a.txt"), "docs.zip" + sep() + "sub" + sep() + "a.txt");
    QCOMPARE(archiveHitName("x.Rar", "a"), "x.Rar" + sep() + "a");
    QCOMPARE(archiveHitName("/d/中文.zip", "目录/文件.txt"), "中文.zip" + sep() + "目录" + sep() + "文件.txt");
}

void ArchiveNamesTest::temporaryFilesLiveInTheGivenFolder()
{
    const TSearchOptions given = archiveOptions({}, QString(), "/tmp/q");
    QCOMPARE(archiveTempFile(&given, "zip.tmp"), QStringLiteral("/tmp/q/zip.tmp"));
    const TSearchOptions none = archiveOptions({});
    QCOMPARE(archiveTempFile(&none, "rar.tmp"), QStringLiteral("tmp/rar.tmp"));
}

void ArchiveNamesTest::followingVolumesByNumber()
{
    QCOMPARE(nextRarVolumeName("/a/set.part1.rar", true), std::string("/a/set.part2.rar"));
    QCOMPARE(nextRarVolumeName("/a/set.part09.rar", true), std::string("/a/set.part10.rar"));
    QCOMPARE(nextRarVolumeName("/a/set.part9.rar", true), std::string("/a/set.part10.rar"));
    QCOMPARE(nextRarVolumeName("/a/set.part099.RAR", true), std::string("/a/set.part100.RAR"));
    QCOMPARE(nextRarVolumeName("/v1.2/set2019.part7.rar", true), std::string("/v1.2/set2019.part8.rar"));
    // No number in the name: the old naming is all that is left.
    QCOMPARE(nextRarVolumeName("/a/set.rar", true), std::string("/a/set.r00"));
    QCOMPARE(nextRarVolumeName("/v1/set.rar", true), std::string("/v1/set.r00"));
}

void ArchiveNamesTest::followingVolumesByExtension()
{
    QCOMPARE(nextRarVolumeName("/a/set.rar", false), std::string("/a/set.r00"));
    QCOMPARE(nextRarVolumeName("/a/SET.RAR", false), std::string("/a/SET.R00"));
    QCOMPARE(nextRarVolumeName("/a/set.r00", false), std::string("/a/set.r01"));
    QCOMPARE(nextRarVolumeName("/a/set.r09", false), std::string("/a/set.r10"));
    QCOMPARE(nextRarVolumeName("/a/set.r99", false), std::string("/a/set.s00"));
    QCOMPARE(nextRarVolumeName("/a/set.part1.rar", false), std::string("/a/set.part1.r00"));
    QCOMPARE(nextRarVolumeName("/a/set.zip", false), std::string());
    QCOMPARE(nextRarVolumeName("/a.rar/set", false), std::string());
}

QTEST_GUILESS_MAIN(ArchiveNamesTest)
#include "test_archivenames.moc"
