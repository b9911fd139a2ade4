// The fast content search against the straightforward one, on the whole corpus, in both modes
// and case rules, with chunk and block sizes that put boundaries everywhere. One search object
// serves all files of a text, as in a real search. And what a content search reports, case by
// case: the definition, held against both the engine and the reference.

#include "content/contentsearch.h"
#include "content/grepfile.h"
#include "contentcorpus.h"
#include "referencegrep.h"
#include "temptree.h"

#include <deque>

namespace {

QString describe(const QList<TFileInfo> &hits)
{
    QStringList lines;
    for (const TFileInfo &h : hits)
        lines << QStringLiteral("  %1:%2:%3").arg(h.fileName).arg(h.lineNo).arg(h.lineText.toHtmlEscaped());
    return lines.isEmpty() ? QStringLiteral("  (none)") : lines.join(QLatin1Char('\n'));
}

#ifdef QUORVEL_SAMPLE_CORPUS
constexpr int kTextStep = 11;   // sanitizer builds: three texts (ASCII, beyond 16 bits, long CJK), two chunkings
const QList<ContentChunking> kChunkings{ContentChunking{8, 3, 1}, ContentChunking{4096, 1000, 333}};
#else
constexpr int kTextStep = 1;
const QList<ContentChunking> kChunkings{ContentChunking(), ContentChunking{8, 3, 1}, ContentChunking{60, 17, 7},
                                        ContentChunking{4096, 1000, 333}};
#endif

} // namespace

class ContentEquivalenceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(tree_.isValid());
        corpus_ = contentCorpus();
        for (const CorpusFile &file : corpus_)
            paths_ << tree_.file(file.name, file.bytes);
    }

    void searchGivesTheReferenceHits_data()
    {
        QTest::addColumn<bool>("deep");
        QTest::addColumn<Qt::CaseSensitivity>("cs");
        for (const bool deep : {false, true}) {
            QTest::addRow("%s, case-sensitive", deep ? "deep" : "plain") << deep << Qt::CaseSensitive;
            QTest::addRow("%s, ignoring case", deep ? "deep" : "plain") << deep << Qt::CaseInsensitive;
        }
    }

    void searchGivesTheReferenceHits()
    {
        QFETCH(bool, deep);
        QFETCH(Qt::CaseSensitivity, cs);
        int compared = 0;
        QStringList failures;
        const QStringList texts = corpusSearchTexts();
        for (int t = 0; t < texts.size(); t += kTextStep) {
            const TSearchOptions options = optionsFor(texts[t], cs, deep);
            std::deque<ContentSearch> searches;   // one per chunking; they cannot move
            for (const ContentChunking &chunking : kChunkings)
                searches.emplace_back(options, chunking);
            for (int f = 0; f < corpus_.size(); ++f) {
                const CorpusFile &file = corpus_[f];
                if (file.large && deep && t % 5 != 0)
                    continue;   // decoding them with every codec for every text takes long
                const QList<TFileInfo> expected = referenceGrep(options, paths_[f], file.name);
                for (int c = 0; c < kChunkings.size(); ++c) {
                    if (file.large && kChunkings[c].chunkBytes < 64)
                        continue;
                    QList<TFileInfo> got;
                    searches[size_t(c)].search(paths_[f], got, file.name);
                    ++compared;
                    if (got != expected && failures.size() < 6)
                        failures << QStringLiteral("%1, text \"%2\", chunks %3/%4:\nexpected\n%5\ngot\n%6")
                                        .arg(file.name, texts[t].toHtmlEscaped())
                                        .arg(kChunkings[c].chunkBytes)
                                        .arg(kChunkings[c].blockBytes)
                                        .arg(describe(expected), describe(got));
                }
            }
        }
        qInfo("%d searches compared", compared);
        if (!failures.isEmpty())
            QFAIL(qPrintable(failures.join(QLatin1String("\n\n"))));
    }

    void archiveStyleNamesAndMissingFilesToo()
    {
        const TSearchOptions options = optionsFor(QStringLiteral("mutex"), Qt::CaseSensitive, true);
        ContentSearch search(options);
        for (const QString &path : {tree_.root(), tree_.path(QStringLiteral("missing")), paths_.first()}) {
            QList<TFileInfo> got;
            search.search(path, got, QStringLiteral("a.zip\\dir\\entry.txt"));
            QCOMPARE(got, referenceGrep(options, path, QStringLiteral("a.zip\\dir\\entry.txt")));
        }
    }

    void reportsTheMatchingLines_data()
    {
        QTest::addColumn<QByteArray>("content");   // or "fixture:" and the name of a third-party text
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ignoreCase");
        QTest::addColumn<bool>("deep");
        QTest::addColumn<QStringList>("expected");   // "line|text"; a final '*' matches any rest
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
        row("first eighty characters", "x\n" + QByteArray(150, '-') + "match\n", "match", false, false,
            {"2|" + QString(80, QLatin1Char('-'))});
        row("deep: two matches, one hit", "match and match\n", "match", false, true, {"1|" + u + "match and match"});
        row("ignoring case", "ABC\nΣΊΣΥΦΟΣ\n", "σίσυφος", true, false, {"2|ΣΊΣΥΦΟΣ"});
        row("folding beyond ASCII", QStringLiteral("ma\u017f\u212a\nmask\nmas\n").toUtf8(), "MASK", true, false,
            {QStringLiteral("1|ma\u017f\u212a"), "2|mask"});
        row("UTF-32 mark", QByteArray("\0\0\xfe\xff", 4) + encodeWith("UTF-32BE", QStringLiteral("操作系统\n")), "系统", false,
            false, {"1|操作系统"});
        row("no mark, no UTF-16", encodeWith("UTF-16LE", QStringLiteral("match\n")), "match", false, false, {});
        row("deep: UTF-16 without a mark", encodeWith("UTF-16LE", QStringLiteral("x\n言語設計\n")), "言語設計", false, true,
            {"2|[UTF-16]\t言語設計"});
        row("deep: each line once, codecs in order",
            "mutex\n" + encodeWith("GBK", QStringLiteral("操作系统 mutex")) + "\n" + QStringLiteral("操作系统\n").toUtf8(),
            "操作系统", false, true, {"2|[GBK]\t操作系统 mutex", "3|[UTF-8]\t操作系统"});
        // A codec that cannot hold the text takes no part: US-ASCII would look for "??", UTF-7
        // for the nothing Qt decodes a lone base64 run to (which every line holds).
        row("deep: no question marks for CJK", "none\nis it done?? yes\n", "合同", false, true, {});
        row("deep: no empty text for UTF-7", "MUTEX here\nplain\n", QStringLiteral("Ｍ"), false, true, {});
        row("deep: no substitute for a symbol", "a ? b\n\x1a\n", QStringLiteral("∞"), false, true, {});
        // Texts made by other tools: the first codec (in Qt's order) that holds the line names it.
        row("deep: GBK", "fixture:gbk.txt", "測試軟體", false, true, {"7|[GBK]\t*"});
        row("deep: Big5", "fixture:big5.txt", "資訊科技", false, true, {"2|[Big5]\t*"});
        row("deep: Shift_JIS", "fixture:shift_jis.txt", "言語設計", false, true, {"4|[Shift_JIS]\t*"});
        row("deep: EUC-JP", "fixture:euc_jp.txt", "教育用", false, true, {"2|[EUC-JP]\t*"});
        row("deep: GB18030", "fixture:gb18030.txt", "파이썬은", false, true, {"14|[GB18030]\t*"});
        row("deep: HZ", "fixture:hz.txt", "己所不欲", false, true, {"2|[HZ-GB-2312]\t*"});
        row("deep: ISO-2022-JP", "fixture:iso2022_jp.txt", "小細工", false, true, {"5|[ISO-2022-JP-1]\t*"});
        row("plain: no GBK", "fixture:gbk.txt", "測試軟體", false, false, {});
    }

    void reportsTheMatchingLines()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, text);
        QFETCH(bool, ignoreCase);
        QFETCH(bool, deep);
        QFETCH(QStringList, expected);
        if (content.startsWith("fixture:")) {
            const QString fixture = QStringLiteral("cjkencodings/") + QString::fromUtf8(content.mid(8));
            SKIP_WITHOUT_THIRD_PARTY_FIXTURES(fixture);
            QFile file(thirdPartyFixtures(fixture));
            QVERIFY(file.open(QIODevice::ReadOnly));
            content = file.readAll();
        }
        const QString path = tree_.file(QStringLiteral("case/f.txt"), content);
        const TSearchOptions options = optionsFor(text, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive, deep);
        QList<TFileInfo> hits;
        grepFile(&options, path, hits, QStringLiteral("f.txt"));
        QCOMPARE(referenceGrep(options, path, QStringLiteral("f.txt")), hits);
        QStringList shown;
        for (const TFileInfo &hit : hits) {
            shown << QString::number(hit.lineNo) + QLatin1Char('|') + hit.lineText;
            const QString &wanted = expected.value(shown.size() - 1);
            if (wanted.endsWith(QLatin1Char('*')) && shown.last().startsWith(wanted.chopped(1)) && shown.last().contains(text))
                shown.last() = wanted;
        }
        QCOMPARE(shown, expected);
    }

private:
    TempTree tree_;
    QList<CorpusFile> corpus_;
    QStringList paths_;
};

QTEST_GUILESS_MAIN(ContentEquivalenceTest)
#include "test_contentequivalence.moc"
