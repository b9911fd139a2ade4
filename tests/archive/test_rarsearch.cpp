#include "archive/archivesearch.h"
#include "archivetesthelpers.h"
#include "rar4testwriter.h"
#include "archive/rarsearch.h"
#include "stdoutcapture.h"
#include "stoppedthread.h"
#include "temptree.h"
#include "archive/unrarlayer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <functional>
#include <unistd.h>

class RarSearchTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void nameHitsFollowArchiveOrder();
    void suffixesCountInAnyCase();
    void extractionCopiesTheWholeEntry();
    void directoryEntryThenFileAreBothProcessed();
    void contentHitsCarryEntryNameAndLine();
    void encryptedEntryEndsTheArchiveWithItsMessage();
    void openFailuresAreReported();
    void damagedHeaderEndsTheArchive();
    void volumeSetsAreReadFromTheFirstVolume();
    void oldStyleVolumeNames();
    void missingVolumeWithoutConsoleGivesUp();
    void callbackAnswers();
    void diagnosticTexts();
    void stopEndsTheWalk();

private:
    TempTree tree_;
    int savedStdin_ = -1;
};

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<TFileInfo> search(const QString &archive, const TSearchOptions &options)
{
    QList<TFileInfo> hits;
    searchArchive(archive, hits, &options);
    return hits;
}

QByteArray lines(int count, const QByteArray &marker = QByteArray(), int markerLine = 0)
{
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += "rar line " + QByteArray::number(i) + (i == markerLine ? " " + marker : QByteArray()) + "\n";
    return out;
}

QByteArray volumePrompt(const QByteArray &volume)
{
    return "\n\nVolume " + volume + " is required\nPossible options:\n" + "\nEnter - try again"
           + "\n'R'   - specify a new volume name" + "\n'Q'   - quit" + "\nEnter your choice: ";
}

} // namespace

void RarSearchTest::initTestCase()
{
    // The volume dialogue must meet no console here, whatever started the test.
    savedStdin_ = dup(STDIN_FILENO);
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    close(null);
}

void RarSearchTest::cleanupTestCase()
{
    dup2(savedStdin_, STDIN_FILENO);
    close(savedStdin_);
}

void RarSearchTest::nameHitsFollowArchiveOrder()
{
    const QString rar = tree_.file("order/docs.rar", rar4Archive({{"dir1", "", true},
                                                                  {"dir1/a.txt", "a"},
                                                                  {"b.TXT", "b"},
                                                                  {"dir1/deeper/c.txt.bak", "c"}}));
    StdoutCapture capture;
    const QList<TFileInfo> all = search(rar, archiveOptions({"*"}));
    QCOMPARE(capture.finish(), QByteArray());
    QCOMPARE(hitNames(all), QStringList({"docs.rar" + sep() + "dir1",
                                         "docs.rar" + sep() + "dir1" + sep() + "a.txt",
                                         "docs.rar" + sep() + "b.TXT",
                                         "docs.rar" + sep() + "dir1" + sep() + "deeper" + sep() + "c.txt.bak"}));
    for (const TFileInfo &hit : all)
        QVERIFY(hit.lineNo == 0 && hit.lineText == "");
    QCOMPARE(hitNames(search(rar, archiveOptions({"a.txt"}))), QStringList({"docs.rar" + sep() + "dir1" + sep() + "a.txt"}));
    QCOMPARE(search(rar, archiveOptions({"*.txt*"})).size(), 3);
    QCOMPARE(search(rar, archiveOptions({"*DIR1*"})).size(), 1);
}

void RarSearchTest::suffixesCountInAnyCase()
{
    const QByteArray archive = rar4Archive({{"inner.txt", "x"}});
    for (const char *name : {"x.Rar", "Y.RAR", "z.rar5", "w.r00"})
        tree_.file(QString("suffix/") + name, archive);
    QCOMPARE(search(tree_.path("suffix/x.Rar"), archiveOptions({"*"})).size(), 1);
    QCOMPARE(search(tree_.path("suffix/Y.RAR"), archiveOptions({"*"})).size(), 1);
    QCOMPARE(search(tree_.path("suffix/z.rar5"), archiveOptions({"*"})).size(), 0);
    QCOMPARE(search(tree_.path("suffix/w.r00"), archiveOptions({"*"})).size(), 0);
}

void RarSearchTest::extractionCopiesTheWholeEntry()
{
    const QString temp = tree_.dir("extract/tmp");
    QByteArray big;
    for (int i = 0; i < 30000; ++i)
        big += "record " + QByteArray::number(i) + "\r\n";
    const QString rar = tree_.file("extract/e.rar", rar4Archive({{"big.txt", big}, {"small.txt", "tiny"}}));
    search(rar, archiveOptions({"big.txt"}, "x", temp));
    QCOMPARE(readFile(temp + "/rar.tmp"), big);
    search(rar, archiveOptions({"small.txt"}, "x", temp));
    QCOMPARE(readFile(temp + "/rar.tmp"), QByteArray("tiny"));
}

void RarSearchTest::directoryEntryThenFileAreBothProcessed()
{
    const QString temp = tree_.dir("dirs/tmp");
    const QString rar = tree_.file("dirs/d.rar", rar4Archive({{"folder", "", true}, {"folder/f.txt", "the file\n"},
                                                              {"empty", "", true}}));
    StdoutCapture capture;
    search(rar, archiveOptions({"*"}, "x", temp));
    QCOMPARE(capture.finish(), QByteArray());
    // The last entry is a directory: it stands at the temporary path now, and the next
    // search's extraction replaces it.
    QVERIFY(QFileInfo(temp + "/rar.tmp").isDir());
    search(rar, archiveOptions({"f.txt"}, "x", temp));
    QCOMPARE(readFile(temp + "/rar.tmp"), QByteArray("the file\n"));
}

void RarSearchTest::contentHitsCarryEntryNameAndLine()
{
    REQUIRE_CONTENT_MATCHER();
    const QString temp = tree_.dir("content/tmp");
    const QString rar = tree_.file("content/c.rar", rar4Archive({{"sub", "", true},
                                                                 {"sub/a.txt", lines(4, "needle", 3)},
                                                                 {"b.txt", lines(2)},
                                                                 {"sub/c.txt", "needle\n"}}));
    const QList<TFileInfo> hits = search(rar, archiveOptions({"*"}, "needle", temp));
    QCOMPARE(hits, QList<TFileInfo>({{"c.rar" + sep() + "sub" + sep() + "a.txt", 3, "rar line 3 needle"},
                                     {"c.rar" + sep() + "sub" + sep() + "c.txt", 1, "needle"}}));
}

void RarSearchTest::encryptedEntryEndsTheArchiveWithItsMessage()
{
    const QString temp = tree_.dir("crypt/tmp");
    const QString rar = tree_.file("crypt/e.rar", rar4Archive({{"a.txt", "first"},
                                                               {"b.txt", "secret!!", false, true},
                                                               {"c.txt", "third"}}));
    StdoutCapture names;
    QCOMPARE(search(rar, archiveOptions({"*"})).size(), 3);
    QCOMPARE(names.finish(), QByteArray());

    StdoutCapture content;
    search(rar, archiveOptions({"*"}, "x", temp));
    QCOMPARE(content.finish(), QByteArray("\nPassword required: Password for encrypted file or header is not specified"));
    QCOMPARE(readFile(temp + "/rar.tmp"), QByteArray("first"));

    // Entries that do not match are skipped, encrypted or not.
    StdoutCapture skipped;
    search(rar, archiveOptions({"c.txt"}, "x", temp));
    QCOMPARE(skipped.finish(), QByteArray());
    QCOMPARE(readFile(temp + "/rar.tmp"), QByteArray("third"));
}

void RarSearchTest::openFailuresAreReported()
{
    const QString text = tree_.file("open/t.rar", "plain text, no archive here");
    const QString empty = tree_.file("open/e.rar", "");
    const QString headerCrypt = thirdPartyFixtures("libarchive/test_read_format_rar4_encrypted_filenames.rar");
    StdoutCapture capture;
    QVERIFY(search(text, archiveOptions({"*"})).isEmpty());
    QVERIFY(search(empty, archiveOptions({"*"})).isEmpty());
    QVERIFY(search(headerCrypt, archiveOptions({"*"})).isEmpty());
    QList<TFileInfo> hits;
    const TSearchOptions options = archiveOptions({"*"});
    searchRarArchive(QFile::encodeName(tree_.path("open/missing.rar")), hits, &options);
    QCOMPARE(capture.finish(), "\n" + QFile::encodeName(text) + " is not RAR archive" + "\n" + QFile::encodeName(empty)
                                   + " is not RAR archive" + "\nPassword required: "
                                   + "Password for encrypted file or header is not specified" + "\nCannot open "
                                   + QFile::encodeName(tree_.path("open/missing.rar")));
}

void RarSearchTest::damagedHeaderEndsTheArchive()
{
    QByteArray bytes = rar4Archive({{"one.txt", "1"}, {"two.txt", "2"}, {"three.txt", "3"}});
    const int second = bytes.indexOf("two.txt");
    bytes[second + 1] = 'X';  // the header's CRC no longer fits
    const QString rar = tree_.file("damaged/d.rar", bytes);
    StdoutCapture capture;
    const QList<TFileInfo> hits = search(rar, archiveOptions({"*"}));
    QCOMPARE(capture.finish(), "\n" + QFile::encodeName(rar) + ": archive header or data are damaged");
    QCOMPARE(hitNames(hits), QStringList({"d.rar" + sep() + "one.txt"}));
}

void RarSearchTest::volumeSetsAreReadFromTheFirstVolume()
{
    const QString temp = tree_.dir("volumes/tmp");
    const QByteArray big = lines(3000, "needle", 2500);
    const QList<QByteArray> volumes = rar4Volumes({{"before.txt", "b"}, {"big.txt", big}, {"after.txt", "a"}},
                                                  {20000, true, true});
    QCOMPARE(volumes.size(), 3);
    QStringList paths;
    for (int i = 0; i < volumes.size(); ++i)
        paths.append(tree_.file(QString("volumes/set.part%1.rar").arg(i + 1), volumes.at(i)));

    StdoutCapture capture;
    QList<TFileInfo> hits;
    const TSearchOptions names = archiveOptions({"*"});
    for (const QString &path : paths)
        searchArchive(path, hits, &names);
    const QByteArray notices = "\n  ... volume " + QFile::encodeName(paths.at(1)) + "\n" + "\n  ... volume "
                               + QFile::encodeName(paths.at(2)) + "\n";
    QCOMPARE(capture.finish(), notices);
    QCOMPARE(hitNames(hits), QStringList({"set.part1.rar" + sep() + "before.txt", "set.part1.rar" + sep() + "big.txt",
                                          "set.part1.rar" + sep() + "after.txt"}));

    StdoutCapture content;
    search(paths.at(0), archiveOptions({"big.txt"}, "needle", temp));
    QCOMPARE(content.finish(), notices);
    QCOMPARE(readFile(temp + "/rar.tmp"), big);
}

void RarSearchTest::oldStyleVolumeNames()
{
    const QString temp = tree_.dir("oldvolumes/tmp");
    const QByteArray data = lines(2000);
    const QList<QByteArray> volumes = rar4Volumes({{"data.txt", data}}, {9000, false, true});
    QCOMPARE(volumes.size(), 3);
    const QString first = tree_.file("oldvolumes/set.rar", volumes.at(0));
    tree_.file("oldvolumes/set.r00", volumes.at(1));
    tree_.file("oldvolumes/set.r01", volumes.at(2));
    StdoutCapture capture;
    search(first, archiveOptions({"*"}, "x", temp));
    const QByteArray out = capture.finish();
    QVERIFY(out.contains("set.r00\n"));
    QVERIFY(out.contains("set.r01\n"));
    QCOMPARE(readFile(temp + "/rar.tmp"), data);
}

void RarSearchTest::missingVolumeWithoutConsoleGivesUp()
{
    const QString temp = tree_.dir("missing/tmp");
    const QList<QByteArray> volumes = rar4Volumes({{"head.txt", "h"}, {"split.txt", lines(2000)}, {"tail.txt", "t"}},
                                                  {10000, true, true});
    QVERIFY(volumes.size() >= 3);
    const QString first = tree_.file("missing/m.part1.rar", volumes.at(0));
    const QByteArray second = QFile::encodeName(tree_.path("missing/m.part2.rar"));

    StdoutCapture names;
    QElapsedTimer timer;
    timer.start();
    const QList<TFileInfo> hits = search(first, archiveOptions({"*"}));
    QCOMPARE(names.finish(), volumePrompt(second) + "Volume open error");
    QVERIFY(timer.elapsed() < 10000);
    QCOMPARE(hitNames(hits), QStringList({"m.part1.rar" + sep() + "head.txt", "m.part1.rar" + sep() + "split.txt"}));

    StdoutCapture content;
    search(first, archiveOptions({"split.txt"}, "x", temp));
    QCOMPARE(content.finish(), volumePrompt(second) + "Volume open error");
}

void RarSearchTest::callbackAnswers()
{
    StdoutCapture capture;
    wchar_t password[16] = L"abc\r\ndef";
    QCOMPARE(rarCallback(UCM_NEEDPASSWORDW, 0, intptr_t(password), 16), 0);
    QCOMPARE(QString::fromWCharArray(password), QString("abc"));
    wchar_t volume[64] = L"/some/set.part2.rar";
    QCOMPARE(rarCallback(UCM_CHANGEVOLUMEW, 0, intptr_t(volume), RAR_VOL_NOTIFY), 0);
    QCOMPARE(rarCallback(UCM_CHANGEVOLUMEW, 0, intptr_t(volume), 7), 0);
    QCOMPARE(rarCallback(UCM_CHANGEVOLUMEW, 0, intptr_t(volume), RAR_VOL_ASK), -1);  // no console
    QCOMPARE(rarCallback(UCM_PROCESSDATA, 0, 0, 0), 0);
    QCOMPARE(rarCallback(99, 0, 0, 0), 0);
    QCOMPARE(capture.finish(), "\nPassword required: \n  ... volume /some/set.part2.rar\n"
                                   + volumePrompt("/some/set.part2.rar"));
}

void RarSearchTest::diagnosticTexts()
{
    const QByteArray p = "/a/b.rar";
    const QList<QPair<int, QByteArray>> open = {
        {0, ""},
        {10, ""},
        {11, "\nNot enough memory"},
        {12, "\n/a/b.rar: archive header or data are damaged"},
        {13, "\n/a/b.rar is not RAR archive"},
        {14, "Unknown archive format"},
        {15, "\nCannot open /a/b.rar"},
        {16, "File create error"},
        {17, "File close error"},
        {18, "Read error"},
        {19, "Write error"},
        {20, "Buffer for archive comment is too small, comment truncated"},
        {21, "Unknown error"},
        {22, "Password for encrypted file or header is not specified"},
        {23, ""},
        {-1, ""},
    };
    for (const auto &[code, text] : open) {
        for (int kind : {0, 1}) {
            StdoutCapture capture;
            reportRarError(code, p, kind);
            QCOMPARE(capture.finish(), text);
        }
    }
    StdoutCapture volume;
    reportRarError(15, p, 2);
    QCOMPARE(volume.finish(), QByteArray("Volume open error"));
}

void RarSearchTest::stopEndsTheWalk()
{
    const QString temp = tree_.dir("stop/tmp");
    const QString rar = tree_.file("stop/s.rar", rar4Archive({{"a.txt", "a"}, {"b.txt", "b"}}));
    QList<TFileInfo> hits;
    const TSearchOptions names = archiveOptions({"*"});
    const TSearchOptions content = archiveOptions({"*"}, "a", temp);
    StdoutCapture capture;
    runOnStoppedThread([&] {
        searchArchive(rar, hits, &names);
        searchArchive(rar, hits, &content);
    });
    QCOMPARE(capture.finish(), QByteArray());
    QVERIFY(hits.isEmpty());
    QVERIFY(!QFileInfo::exists(temp + "/rar.tmp"));
}

QTEST_GUILESS_MAIN(RarSearchTest)
#include "test_rarsearch.moc"
