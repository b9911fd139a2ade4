// What a content search reports, case by case.

#include "contentcorpus.h"
#include "content/grepfile.h"
#include "walk/searchoptions.h"
#include "walk/searchthread.h"
#include "temptree.h"

#include <QFile>
#include <QTest>
#include <QTextCodec>

class GrepFileTest : public QObject
{
    Q_OBJECT

private slots:
    void linesAreCountedFromOne();
    void carriageReturnsAreNotPartOfTheLine();
    void lastLineWithoutLineFeedIsSearched();
    void emptyFileHasNoHit();
    void longLineShowsItsFirstEightyCharacters();
    void twoMatchesInALineGiveOneHit();
    void caseRuleIsTheRequests();
    void leadingBlankIsSearchedFor();
    void byteOrderMarkChoosesTheCodecInPlainMode();
    void directoryAndMissingPathGiveNoHit();
    void deepSearchNamesTheCodecThatFoundTheLine_data();
    void deepSearchNamesTheCodecThatFoundTheLine();
    void deepSearchReportsEachLineOnceInCodecOrder();
    void deepSearchShowsTheLineThroughGb18030();
    void replacementCharactersFindTheirLikes();
    void caseFoldingAcrossAsciiIsHonoured();

private:
    QList<TFileInfo> grep(const QByteArray &content, const QString &text,
                          Qt::CaseSensitivity cs = Qt::CaseSensitive, bool deep = false);
    TempTree tree_;
};

QList<TFileInfo> GrepFileTest::grep(const QByteArray &content, const QString &text, Qt::CaseSensitivity cs, bool deep)
{
    const QString path = tree_.file(QStringLiteral("f.txt"), content);
    searchThread worker;
    worker.setSearchParam({}, {QStringLiteral("*")}, text, cs, true, false, deep);
    QList<TFileInfo> hits;
    grepFile(&worker.searchOptions(), path, hits, QStringLiteral("f.txt"));
    return hits;
}

void GrepFileTest::linesAreCountedFromOne()
{
    const auto hits = grep("match here\nnot\nmatch again\n", QStringLiteral("match"));
    QCOMPARE(hits.size(), 2);
    QCOMPARE(hits[0], (TFileInfo{"f.txt", 1, "match here"}));
    QCOMPARE(hits[1], (TFileInfo{"f.txt", 3, "match again"}));
}

void GrepFileTest::carriageReturnsAreNotPartOfTheLine()
{
    const auto hits = grep("a match\r\nb\r\nc match\r\n", QStringLiteral("match"));
    QCOMPARE(hits, (QList<TFileInfo>{{"f.txt", 1, "a match"}, {"f.txt", 3, "c match"}}));
    // A lone carriage return does not end a line.
    QCOMPARE(grep("a\rmatch\rb\n", QStringLiteral("match")), (QList<TFileInfo>{{"f.txt", 1, "a\rmatch\rb"}}));
    // The carriage return that ends a line is not there to be found.
    QVERIFY(grep("match\r\n", QStringLiteral("match\r")).isEmpty());
}

void GrepFileTest::lastLineWithoutLineFeedIsSearched()
{
    QCOMPARE(grep("one\ntwo match", QStringLiteral("match")), (QList<TFileInfo>{{"f.txt", 2, "two match"}}));
    QCOMPARE(grep("one\ntwo match\r", QStringLiteral("match")), (QList<TFileInfo>{{"f.txt", 2, "two match"}}));
}

void GrepFileTest::emptyFileHasNoHit()
{
    QVERIFY(grep(QByteArray(), QStringLiteral("match")).isEmpty());
    QVERIFY(grep(QByteArray(), QStringLiteral("match"), Qt::CaseSensitive, true).isEmpty());
}

void GrepFileTest::longLineShowsItsFirstEightyCharacters()
{
    const QByteArray line = QByteArray(150, '-') + "match" + QByteArray(45, '=');
    const auto hits = grep("x\n" + line + "\n", QStringLiteral("match"));
    QCOMPARE(hits, (QList<TFileInfo>{{"f.txt", 2, QString(80, QLatin1Char('-'))}}));
    // Not trimmed either.
    QCOMPARE(grep("  match  \n", QStringLiteral("match")), (QList<TFileInfo>{{"f.txt", 1, "  match  "}}));
}

void GrepFileTest::twoMatchesInALineGiveOneHit()
{
    QCOMPARE(grep("match and match\n", QStringLiteral("match")).size(), 1);
    QCOMPARE(grep("match and match\n", QStringLiteral("match"), Qt::CaseSensitive, true).size(), 1);
}

void GrepFileTest::caseRuleIsTheRequests()
{
    QVERIFY(grep("ABC\n", QStringLiteral("abc")).isEmpty());
    QCOMPARE(grep("ABC\n", QStringLiteral("abc"), Qt::CaseInsensitive), (QList<TFileInfo>{{"f.txt", 1, "ABC"}}));
    QCOMPARE(grep(QStringLiteral("ΣΊΣΥΦΟΣ\n").toUtf8(), QStringLiteral("σίσυφος"), Qt::CaseInsensitive).size(), 1);
}

void GrepFileTest::leadingBlankIsSearchedFor()
{
    QCOMPARE(grep("xfoo\n foo\n", QStringLiteral(" foo")), (QList<TFileInfo>{{"f.txt", 2, " foo"}}));
}

void GrepFileTest::byteOrderMarkChoosesTheCodecInPlainMode()
{
    QCOMPARE(grep("\xff\xfe" + encodeWith("UTF-16LE", QStringLiteral("a\nb match\n")), QStringLiteral("match")),
             (QList<TFileInfo>{{"f.txt", 2, "b match"}}));
    QCOMPARE(grep(QByteArray("\0\0\xfe\xff", 4) + encodeWith("UTF-32BE", QStringLiteral("操作系统\n")),
                  QStringLiteral("系统")),
             (QList<TFileInfo>{{"f.txt", 1, "操作系统"}}));
    // Without a mark, UTF-16 is not recognised in plain mode.
    QVERIFY(grep(encodeWith("UTF-16LE", QStringLiteral("match\n")), QStringLiteral("match")).isEmpty());
}

void GrepFileTest::directoryAndMissingPathGiveNoHit()
{
    searchThread worker;
    worker.setSearchParam({}, {QStringLiteral("*")}, QStringLiteral("a"), Qt::CaseSensitive, true, false, true);
    QList<TFileInfo> hits;
    grepFile(&worker.searchOptions(), tree_.dir(QStringLiteral("sub")), hits, QStringLiteral("sub"));
    grepFile(&worker.searchOptions(), tree_.path(QStringLiteral("nothing-here")), hits, QStringLiteral("x"));
    QVERIFY(hits.isEmpty());
}

void GrepFileTest::deepSearchNamesTheCodecThatFoundTheLine_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lineNo");
    QTest::addColumn<QString>("codec");
    QTest::newRow("gbk") << "gbk.txt" << QStringLiteral("測試軟體") << 7 << "GBK";
    QTest::newRow("big5") << "big5.txt" << QStringLiteral("資訊科技") << 2 << "Big5";
    QTest::newRow("shift_jis") << "shift_jis.txt" << QStringLiteral("言語設計") << 4 << "Shift_JIS";
    QTest::newRow("euc_jp") << "euc_jp.txt" << QStringLiteral("教育用") << 2 << "EUC-JP";
    QTest::newRow("gb18030") << "gb18030.txt" << QStringLiteral("파이썬은") << 14 << "GB18030";
    QTest::newRow("hz") << "hz.txt" << QStringLiteral("己所不欲") << 2 << "HZ-GB-2312";
    QTest::newRow("iso2022_jp") << "iso2022_jp.txt" << QStringLiteral("小細工") << 5 << "ISO-2022-JP-1";
}

void GrepFileTest::deepSearchNamesTheCodecThatFoundTheLine()
{
    QFETCH(QString, fixture);
    QFETCH(QString, text);
    QFETCH(int, lineNo);
    QFETCH(QString, codec);
    QFile file(thirdPartyFixtures(QStringLiteral("cjkencodings/") + fixture));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY2(grep(bytes, text).isEmpty(), "found without deep search");
    const auto hits = grep(bytes, text, Qt::CaseSensitive, true);
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits[0].lineNo, lineNo);
    QVERIFY2(hits[0].lineText.startsWith(QLatin1Char('[') + codec + QLatin1String("]\t")), qPrintable(hits[0].lineText));
    QVERIFY(hits[0].lineText.contains(text));

    // The same in UTF-16 without a mark: only deep search reads it.
    const QByteArray utf16 = encodeWith("UTF-16LE", QStringLiteral("x\n") + text + QStringLiteral("\n"));
    QVERIFY(grep(utf16, text).isEmpty());
    QCOMPARE(grep(utf16, text, Qt::CaseSensitive, true),
             (QList<TFileInfo>{{"f.txt", 2, QStringLiteral("[UTF-16]\t") + text}}));
}

void GrepFileTest::deepSearchReportsEachLineOnceInCodecOrder()
{
    // Line 1 is ASCII (every ASCII-based codec finds it), line 2 is GBK only, line 3 UTF-8.
    const QByteArray content = "mutex\n" + encodeWith("GBK", QStringLiteral("操作系统 mutex")) + "\n"
                               + QStringLiteral("操作系统\n").toUtf8();
    const auto hits = grep(content, QStringLiteral("操作系统"), Qt::CaseSensitive, true);
    QStringList seen;
    for (const TFileInfo &hit : hits)
        seen << QStringLiteral("%1 %2").arg(hit.lineNo).arg(hit.lineText.section(QLatin1Char('\t'), 0, 0));
    QCOMPARE(seen, (QStringList{"2 [GBK]", "3 [UTF-8]"}));

    const auto ascii = grep(content, QStringLiteral("mutex"), Qt::CaseSensitive, true);
    QCOMPARE(ascii.size(), 2);
    QCOMPARE(ascii[0], (TFileInfo{"f.txt", 1, "[US-ASCII]\tmutex"}));
    QCOMPARE(ascii[1].lineNo, 2);
    QVERIFY(ascii[1].lineText.startsWith(QLatin1String("[US-ASCII]\t")));
}

void GrepFileTest::deepSearchShowsTheLineThroughGb18030()
{
    const QByteArray line = QByteArray(100, 'a') + " mutex";
    const auto hits = grep(line, QStringLiteral("mutex"), Qt::CaseSensitive, true);
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits[0].lineText, QStringLiteral("[US-ASCII]\t") + QString(80, QLatin1Char('a')));
    // Characters the line's codec cannot hold come back as its replacement.
    const auto shown = grep(encodeWith("GBK", QStringLiteral("测试 mutex")), QStringLiteral("mutex"), Qt::CaseSensitive, true);
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].lineText.startsWith(QLatin1String("[US-ASCII]\t")));
    QVERIFY(!shown[0].lineText.contains(QStringLiteral("测试")));
}

void GrepFileTest::replacementCharactersFindTheirLikes()
{
    // The system codec (UTF-8) holds the text, US-ASCII turns it into "????": that pass finds
    // a line of question marks, and reports it first. The EBCDIC codecs have substitution
    // characters instead, which is what '?' (0x3f) reads as there; their line feed is 0x25,
    // so for them the whole file is line 1.
    const auto hits = grep("none\n????\n", QStringLiteral("操作系统"), Qt::CaseSensitive, true);
    QCOMPARE(hits.size(), 2);
    QCOMPARE(hits[0], (TFileInfo{"f.txt", 2, "[US-ASCII]\t????"}));
    QCOMPARE(hits[1].lineNo, 1);
    QVERIFY2(hits[1].lineText.startsWith(QLatin1String("[IBM-Thai]\t")), qPrintable(hits[1].lineText));
}

void GrepFileTest::caseFoldingAcrossAsciiIsHonoured()
{
    // KELVIN SIGN folds to k, LONG S to s: ignoring case, they match the ASCII letters.
    const QByteArray content = QStringLiteral("ma\u017f\u212a\nmask\nmas\n").toUtf8();
    QCOMPARE(grep(content, QStringLiteral("MASK"), Qt::CaseInsensitive).size(), 2);
    QCOMPARE(grep(content, QStringLiteral("mask")).size(), 1);
}

QTEST_GUILESS_MAIN(GrepFileTest)
#include "test_grepfile.moc"
