// What a content search reports, case by case.

#include "content/grepfile.h"
#include "contentcorpus.h"
#include "temptree.h"
#include "walk/searchoptions.h"
#include "walk/searchthread.h"

#include <QFile>
#include <QTest>

class GrepFileTest : public QObject
{
    Q_OBJECT

private slots:
    void reportsTheMatchingLines_data();
    void reportsTheMatchingLines();
    void deepSearchNamesTheCodecThatFoundTheLine_data();
    void deepSearchNamesTheCodecThatFoundTheLine();

private:
    QStringList grep(const QByteArray &content, const QString &text, bool ignoreCase = false, bool deep = false);
    TempTree tree_;
};

// Hits as "line|text".
QStringList GrepFileTest::grep(const QByteArray &content, const QString &text, bool ignoreCase, bool deep)
{
    const QString path = tree_.file(QStringLiteral("f.txt"), content);
    searchThread worker;
    worker.setSearchParam({}, {QStringLiteral("*")}, text, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive,
                          true, false, deep);
    QList<TFileInfo> hits;
    grepFile(&worker.searchOptions(), path, hits, QStringLiteral("f.txt"));
    QStringList shown;
    for (const TFileInfo &hit : hits)
        shown << QString::number(hit.lineNo) + QLatin1Char('|') + hit.lineText;
    return shown;
}

void GrepFileTest::reportsTheMatchingLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<bool>("deep");
    QTest::addColumn<QStringList>("expected");
    const auto row = [](const char *name, const QByteArray &content, const QString &text, bool ignoreCase, bool deep,
                        const QStringList &expected) {
        QTest::newRow(name) << content << text << ignoreCase << deep << expected;
    };
    const QString u = QStringLiteral("[US-ASCII]\t");
    row("lines counted from one", "match here\nnot\nmatch again\n", "match", false, false, {"1|match here", "3|match again"});
    row("carriage return ends no line", "a match\r\nb\r\nc match\r\nd\rmatch\re\n", "match", false, false,
        {"1|a match", "3|c match", "4|d\rmatch\re"});
    row("line-ending return is not text", "match\r\n", "match\r", false, false, {});
    row("last line without line feed", "one\ntwo match\r", "match", false, false, {"2|two match"});
    row("empty file", "", "match", false, true, {});
    row("first eighty characters", "x\n" + QByteArray(150, '-') + "match\n  match  \n", "match", false, false,
        {"2|" + QString(80, QLatin1Char('-')), "3|  match  "});
    row("deep: prefix before the cut line", QByteArray(100, 'a') + " mutex", "mutex", false, true,
        {"1|" + u + QString(80, QLatin1Char('a'))});
    row("two matches, one hit", "match and match\n", "match", false, true, {"1|" + u + "match and match"});
    row("case-sensitive", "ABC\n", "abc", false, false, {});
    row("ignoring case", "ABC\nΣΊΣΥΦΟΣ\n", "σίσυφος", true, false, {"2|ΣΊΣΥΦΟΣ"});
    row("folding beyond ASCII", QStringLiteral("ma\u017f\u212a\nmask\nmas\n").toUtf8(), "MASK", true, false,
        {QStringLiteral("1|ma\u017f\u212a"), "2|mask"});
    row("leading blank", "xfoo\n foo\n", " foo", false, false, {"2| foo"});
    row("UTF-16 mark", "\xff\xfe" + encodeWith("UTF-16LE", QStringLiteral("a\nb match\n")), "match", false, false,
        {"2|b match"});
    row("UTF-32 mark", QByteArray("\0\0\xfe\xff", 4) + encodeWith("UTF-32BE", QStringLiteral("操作系统\n")), "系统", false,
        false, {"1|操作系统"});
    row("no mark, no UTF-16", encodeWith("UTF-16LE", QStringLiteral("match\n")), "match", false, false, {});
    row("deep: each line once, codecs in order",
        "mutex\n" + encodeWith("GBK", QStringLiteral("操作系统 mutex")) + "\n" + QStringLiteral("操作系统\n").toUtf8(),
        "操作系统", false, true, {"2|[GBK]\t操作系统 mutex", "3|[UTF-8]\t操作系统"});
    // A codec that cannot hold the text takes no part: US-ASCII would look for "??", UTF-7
    // for the nothing Qt decodes a lone base64 run to (which every line holds).
    row("deep: no question marks for CJK", "none\nis it done?? yes\n", "合同", false, true, {});
    row("deep: no empty text for UTF-7", "MUTEX here\nplain\n", QStringLiteral("Ｍ"), false, true, {});
    row("deep: no substitute for a symbol", "a ? b\n\x1a\n", QStringLiteral("∞"), false, true, {});
}

void GrepFileTest::reportsTheMatchingLines()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    QFETCH(bool, ignoreCase);
    QFETCH(bool, deep);
    QFETCH(QStringList, expected);
    QCOMPARE(grep(content, text, ignoreCase, deep), expected);
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
    SKIP_WITHOUT_THIRD_PARTY_FIXTURES(QStringLiteral("cjkencodings/") + fixture);
    QFile file(thirdPartyFixtures(QStringLiteral("cjkencodings/") + fixture));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY2(grep(bytes, text).isEmpty(), "found without deep search");
    const QStringList hits = grep(bytes, text, false, true);
    QCOMPARE(hits.size(), 1);
    QVERIFY2(hits[0].startsWith(QStringLiteral("%1|[%2]\t").arg(lineNo).arg(codec)) && hits[0].contains(text),
             qPrintable(hits[0]));
    // The same in UTF-16 without a mark: only deep search reads it.
    const QByteArray utf16 = encodeWith("UTF-16LE", QStringLiteral("x\n") + text + QStringLiteral("\n"));
    QCOMPARE(grep(utf16, text), QStringList());
    QCOMPARE(grep(utf16, text, false, true), QStringList{QStringLiteral("2|[UTF-16]\t") + text});
}

QTEST_GUILESS_MAIN(GrepFileTest)
#include "test_grepfile.moc"
