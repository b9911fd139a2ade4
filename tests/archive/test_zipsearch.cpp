#include "archive/archivesearch.h"
#include "archivetesthelpers.h"
#include "stdoutcapture.h"
#include "stoppedthread.h"
#include "temptree.h"
#include "archive/zipsearch.h"
#include "ziptestwriter.h"

#include <QFileInfo>
#include <QTest>
#include <QTextCodec>
#include <QThread>

#include <functional>

class ZipSearchTest : public QObject
{
    Q_OBJECT

private slots:
    void nameHitsFollowArchiveOrder();
    void suffixesCountInAnyCase();
    void extractionCopiesTheWholeEntry();
    void directoryEntriesAreNeverExtracted();
    void contentHitsCarryEntryNameAndLine();
    void deepSearchInsideEntries();
    void emptyArchiveIsQuiet();
    void unreadableFileIsReportedOnce();
    void zipSuffixIsTriedOnce();
    void damagedArchivesGoOnWherePossible();
    void longEntryNamesAreReadWhole();
    void entryNamesAreDecoded();
    void encryptedEntriesAreNotSearchedAsText();
    void stopEndsTheWalk();

private:
    TempTree tree_;
};

namespace {

QByteArray numberedLines(int count, const QByteArray &marker = QByteArray(), int markerLine = 0)
{
    QByteArray out;
    for (int i = 1; i <= count; ++i) {
        out += "line " + QByteArray::number(i) + " of the entry";
        if (i == markerLine)
            out += ' ' + marker;
        out += '\n';
    }
    return out;
}

QList<TFileInfo> search(const QString &archive, const TSearchOptions &options)
{
    QList<TFileInfo> hits;
    searchArchive(archive, hits, &options);
    return hits;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void ZipSearchTest::nameHitsFollowArchiveOrder()
{
    const QString zip = tree_.path("order/docs.zip");
    tree_.dir("order");
    QVERIFY(writeZip(zip, {{"sub/a.txt", "a"}, {"sub/", ""}, {"b.txt", "b"}, {"deep/er/c.txt", "c"},
                           {"sub/b.txt.bak", "d"}}));

    const QList<TFileInfo> all = search(zip, archiveOptions({"*"}));
    QCOMPARE(hitNames(all), QStringList({"docs.zip" + sep() + "sub" + sep() + "a.txt",
                                         "docs.zip" + sep() + "sub" + sep(),
                                         "docs.zip" + sep() + "b.txt",
                                         "docs.zip" + sep() + "deep" + sep() + "er" + sep() + "c.txt",
                                         "docs.zip" + sep() + "sub" + sep() + "b.txt.bak"}));
    for (const TFileInfo &hit : all) {
        QCOMPARE(hit.lineNo, 0);
        QCOMPARE(hit.lineText, QString(""));
    }

    QCOMPARE(hitNames(search(zip, archiveOptions({"a.txt"}))), QStringList({"docs.zip" + sep() + "sub" + sep() + "a.txt"}));
    QCOMPARE(search(zip, archiveOptions({"*.txt*"})).size(), 4);
    QCOMPARE(search(zip, archiveOptions({"B.TXT"})).size(), 1);
    QCOMPARE(search(zip, archiveOptions({})).size(), 0);
}

void ZipSearchTest::suffixesCountInAnyCase()
{
    tree_.dir("suffix");
    const QList<ZipTestEntry> entries = {{"inner.txt", "x"}};
    for (const char *name : {"DATA.ZIP", "x.Zip", "a.7z", "b.zipx"})
        QVERIFY(writeZip(tree_.path(QString("suffix/") + name), entries));
    QCOMPARE(search(tree_.path("suffix/DATA.ZIP"), archiveOptions({"*"})).size(), 1);
    QCOMPARE(search(tree_.path("suffix/x.Zip"), archiveOptions({"*"})).size(), 1);
    QCOMPARE(search(tree_.path("suffix/a.7z"), archiveOptions({"*"})).size(), 0);
    QCOMPARE(search(tree_.path("suffix/b.zipx"), archiveOptions({"*"})).size(), 0);
}

void ZipSearchTest::extractionCopiesTheWholeEntry()
{
    tree_.dir("extract/tmp");
    QByteArray big;
    for (int i = 0; i < 40000; ++i)
        big += "row " + QByteArray::number(i * 7919 % 100003) + " \xe4\xb8\xad\n";
    QByteArray binary(70000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 131 + i / 7) & 0xff);
    const QString zip = tree_.path("extract/e.zip");
    QVERIFY(writeZip(zip, {{"big.txt", big}, {"bin/stored.bin", binary, true}, {"empty.txt", ""}}));
    const QString temp = tree_.path("extract/tmp");

    search(zip, archiveOptions({"big.txt"}, "needle", temp));
    QCOMPARE(readFile(temp + "/zip.tmp"), big);
    search(zip, archiveOptions({"stored.bin"}, "needle", temp));
    QCOMPARE(readFile(temp + "/zip.tmp"), binary);
    search(zip, archiveOptions({"empty.txt"}, "needle", temp));
    QVERIFY(QFileInfo(temp + "/zip.tmp").isFile());
    QCOMPARE(QFileInfo(temp + "/zip.tmp").size(), 0);
}

void ZipSearchTest::directoryEntriesAreNeverExtracted()
{
    tree_.dir("dirs/tmp");
    const QString temp = tree_.path("dirs/tmp");
    const QString onlyDir = tree_.path("dirs/only.zip");
    QVERIFY(writeZip(onlyDir, {{"sub/", ""}}));
    StdoutCapture capture;
    search(onlyDir, archiveOptions({"*"}, "x", temp));
    QVERIFY(!QFileInfo::exists(temp + "/zip.tmp"));

    const QString dirThenFile = tree_.path("dirs/both.zip");
    QVERIFY(writeZip(dirThenFile, {{"sub/", ""}, {"sub/a.txt", "after the directory\n"}}));
    search(dirThenFile, archiveOptions({"*"}, "x", temp));
    QCOMPARE(readFile(temp + "/zip.tmp"), QByteArray("after the directory\n"));
    QCOMPARE(capture.finish(), QByteArray());
}

void ZipSearchTest::contentHitsCarryEntryNameAndLine()
{
    REQUIRE_CONTENT_MATCHER();
    tree_.dir("content/tmp");
    const QString zip = tree_.path("content/docs.zip");
    QVERIFY(writeZip(zip, {{"sub/a.txt", numberedLines(5, "needle", 3)},
                           {"sub/", ""},
                           {"b.txt", numberedLines(2)},
                           {"c.txt", "needle first\r\nsecond\r\nneedle third"}}));
    const QList<TFileInfo> hits = search(zip, archiveOptions({"*"}, "needle", tree_.path("content/tmp")));
    const QString a = "docs.zip" + sep() + "sub" + sep() + "a.txt";
    const QString c = "docs.zip" + sep() + "c.txt";
    QCOMPARE(hits, QList<TFileInfo>({{a, 3, "line 3 of the entry needle"}, {c, 1, "needle first"}, {c, 3, "needle third"}}));
}

void ZipSearchTest::deepSearchInsideEntries()
{
    REQUIRE_CONTENT_MATCHER();
    tree_.dir("deep/tmp");
    QTextCodec *gbk = QTextCodec::codecForName("GBK");
    QVERIFY(gbk);
    const QString zip = tree_.path("deep/gbk.zip");
    QVERIFY(writeZip(zip, {{"gbk.txt", "first\n" + gbk->fromUnicode(QStringLiteral("第二行 中文\n"))}}));
    TSearchOptions options = archiveOptions({"*"}, QStringLiteral("中文"), tree_.path("deep/tmp"));
    options.deepSearch = true;
    options.codecTexts.append(qMakePair(gbk, QStringLiteral("中文")));
    const QList<TFileInfo> hits = search(zip, options);
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits.first().fileName, "gbk.zip" + sep() + "gbk.txt");
    QCOMPARE(hits.first().lineNo, 2);
    QVERIFY(hits.first().lineText.startsWith("[GBK]\t"));
}

void ZipSearchTest::emptyArchiveIsQuiet()
{
    tree_.dir("empty/tmp");
    const QString zip = tree_.path("empty/none.zip");
    QVERIFY(writeZip(zip, {}));
    QCOMPARE(QFileInfo(zip).size(), 22);
    StdoutCapture capture;
    const QList<TFileInfo> byName = search(zip, archiveOptions({"*"}));
    const QList<TFileInfo> byContent = search(zip, archiveOptions({"*"}, "x", tree_.path("empty/tmp")));
    QCOMPARE(capture.finish(), QByteArray());
    QVERIFY(byName.isEmpty());
    QVERIFY(byContent.isEmpty());
}

void ZipSearchTest::unreadableFileIsReportedOnce()
{
    const QString notZip = tree_.file("bad/x.zip", "just text, not an archive\n");
    const QString empty = tree_.file("bad/empty.zip", "");
    const QByteArray path8 = QFile::encodeName(notZip);
    const TSearchOptions options = archiveOptions({"*"});
    QList<TFileInfo> hits;
    StdoutCapture capture;
    QCOMPARE(searchZipArchive(path8, hits, &options), 1);
    searchArchive(empty, hits, &options);
    const QByteArray out = capture.finish();
    QVERIFY(hits.isEmpty());
    const QByteArray empty8 = QFile::encodeName(empty);
    QCOMPARE(out, "Cannot open " + path8 + " or " + path8 + ".zip\n" + "Cannot open " + empty8 + " or " + empty8 + ".zip\n");
}

void ZipSearchTest::zipSuffixIsTriedOnce()
{
    const QString notZip = tree_.file("retry/x.zip", "not an archive");
    QVERIFY(writeZip(tree_.path("retry/x.zip.zip"), {{"inside.txt", "y"}}));
    StdoutCapture capture;
    const QList<TFileInfo> hits = search(notZip, archiveOptions({"*"}));
    QCOMPARE(capture.finish(), QByteArray());
    QCOMPARE(hitNames(hits), QStringList({"x.zip" + sep() + "inside.txt"}));
}

void ZipSearchTest::damagedArchivesGoOnWherePossible()
{
    tree_.dir("damaged/tmp");
    const QString temp = tree_.path("damaged/tmp");
    // Cut before the central directory: nothing to open.
    const QString whole = tree_.path("damaged/whole.zip");
    QVERIFY(writeZip(whole, {{"a.txt", numberedLines(50)}, {"b.txt", numberedLines(50)}}));
    const QString cut = tree_.file("damaged/cut.zip", readFile(whole).left(100));
    StdoutCapture capture;
    QVERIFY(search(cut, archiveOptions({"*"})).isEmpty());
    const QByteArray cut8 = QFile::encodeName(cut);
    QCOMPARE(capture.finish(), "Cannot open " + cut8 + " or " + cut8 + ".zip\n");

    // Damaged local headers: the central directory still lists every entry.
    const QString bad = thirdPartyFixtures("libarchive/test_t_bad.zip");
    QVERIFY(QFileInfo::exists(bad));
    StdoutCapture names;
    const QList<TFileInfo> listed = search(bad, archiveOptions({"*"}));
    const QByteArray nameOutput = names.finish();
    QCOMPARE(hitNames(listed), QStringList({"test_t_bad.zip" + sep() + "test_basic" + sep(),
                                            "test_t_bad.zip" + sep() + "test_basic" + sep() + "a",
                                            "test_t_bad.zip" + sep() + "test_basic" + sep() + "b",
                                            "test_t_bad.zip" + sep() + "test_basic" + sep() + "c",
                                            "test_t_bad.zip" + sep() + "test_basic" + sep() + "CAPS"}));
    QCOMPARE(nameOutput, QByteArray());

    // Entries that cannot be opened leave nothing behind to search; the others are extracted.
    StdoutCapture content;
    search(bad, archiveOptions({"c"}, "x", temp));
    const QByteArray contentOutput = content.finish();
    QCOMPARE(readFile(temp + "/zip.tmp"), QByteArray("contents c\n"));
    Q_UNUSED(contentOutput);
}

void ZipSearchTest::longEntryNamesAreReadWhole()
{
    tree_.dir("long");
    const QByteArray longName = "folder/" + QByteArray(300, 'n') + ".txt";
    const QByteArray longerName = QByteArray(70, 'd') + '/' + QByteArray(1000, 'm') + ".log";
    const QString zip = tree_.path("long/l.zip");
    QVERIFY(writeZip(zip, {{longName, "1"}, {"short.txt", "2"}, {longerName, "3"}}));
    const QList<TFileInfo> hits = search(zip, archiveOptions({"*"}));
    QCOMPARE(hitNames(hits), QStringList({"l.zip" + sep() + QDir::toNativeSeparators(QString::fromLatin1(longName)),
                                          "l.zip" + sep() + "short.txt",
                                          "l.zip" + sep() + QDir::toNativeSeparators(QString::fromLatin1(longerName))}));
    // The name is matched whole, too.
    QCOMPARE(search(zip, archiveOptions({"*mmmm.log"})).size(), 1);
}

void ZipSearchTest::entryNamesAreDecoded()
{
    tree_.dir("names");
    const QString zip = tree_.path("names/中文.zip");
    const QByteArray name = QStringLiteral("目录/文件.txt").toUtf8();
    QVERIFY(writeZip(zip, {{name, "x", false, true}, {"plain/ascii.txt", "y"}}));
    const QList<TFileInfo> hits = search(zip, archiveOptions({"文件*"}));
    QCOMPARE(hitNames(hits), QStringList({"中文.zip" + sep() + "目录" + sep() + "文件.txt"}));

    // Without the UTF-8 flag, names are read in the system code page.
    const QString plain = tree_.path("names/plain.zip");
    QVERIFY(writeZip(plain, {{QTextCodec::codecForLocale()->fromUnicode(QStringLiteral("数据.txt")), "z"}}));
    QCOMPARE(hitNames(search(plain, archiveOptions({"*"}))), QStringList({"plain.zip" + sep() + "数据.txt"}));
}

void ZipSearchTest::encryptedEntriesAreNotSearchedAsText()
{
    tree_.dir("crypt/tmp");
    const QString temp = tree_.path("crypt/tmp");
    const QString zip = thirdPartyFixtures("libarchive/test_read_format_zip_traditional_encryption_data.zip");
    QCOMPARE(hitNames(search(zip, archiveOptions({"*"}))),
             QStringList({"test_read_format_zip_traditional_encryption_data.zip" + sep() + "bar.txt",
                          "test_read_format_zip_traditional_encryption_data.zip" + sep() + "foo.txt"}));
    StdoutCapture capture;
    const QList<TFileInfo> hits = search(zip, archiveOptions({"*"}, "aaaa", temp));
    const QByteArray out = capture.finish();
    // Deflated data that is still encrypted does not inflate: nothing is written or searched.
    QVERIFY(hits.isEmpty());
    QCOMPARE(out.count("with zipfile in unzReadCurrentFile\n"), 2);
}

void ZipSearchTest::stopEndsTheWalk()
{
    tree_.dir("stop/tmp");
    const QString temp = tree_.path("stop/tmp");
    const QString zip = tree_.path("stop/s.zip");
    QVERIFY(writeZip(zip, {{"a.txt", "a"}, {"b.txt", "b"}}));
    QList<TFileInfo> byName;
    const TSearchOptions names = archiveOptions({"*"});
    const TSearchOptions content = archiveOptions({"*"}, "a", temp);
    runOnStoppedThread([&] {
        searchArchive(zip, byName, &names);
        searchArchive(zip, byName, &content);
    });
    QVERIFY(byName.isEmpty());
    QVERIFY(!QFileInfo::exists(temp + "/zip.tmp"));
}

QTEST_GUILESS_MAIN(ZipSearchTest)
#include "test_zipsearch.moc"
