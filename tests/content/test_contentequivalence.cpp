// The fast content search against the straightforward one, on the whole corpus, in both modes
// and case rules, with chunk and block sizes that put boundaries everywhere. One search object
// serves all files of a text, as in a real search. And what a content search reports, case by
// case: the definition, held against both the engine and the reference. Then the facts about
// codecs that the fast content search relies on, checked against the codecs themselves: byte
// tables, ASCII transparency, line-feed synchronisation, case folding (piecewise decoding is
// proven by the equivalence above, whose chunkings decode one byte at a time); and its vector
// scans against plain loops, on random data of every kind and length.

#include "content/bytepattern.h"
#include "content/bytescan.h"
#include "content/casefold.h"
#include "content/codecmodel.h"
#include "content/contentsearch.h"
#include "content/grepfile.h"
#include "content/needleplan.h"
#include "content/quietgaps.h"
#include "contentcorpus.h"
#include "referencegrep.h"
#include "temptree.h"

#include <QTextCodec>

#include <algorithm>
#include <deque>
#include <iterator>
#include <random>
#include <string_view>

using namespace std::string_view_literals;

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


// `bytes` decoded by a fresh decoder, or by one that has just decoded a line feed.
QString decode(QTextCodec *codec, const QByteArray &bytes, bool afterLineFeed = false)
{
    QTextCodec::ConverterState state;
    if (afterLineFeed)
        codec->toUnicode("\n", 1, &state);
    return codec->toUnicode(bytes.constData(), int(bytes.size()), &state);
}

QByteArray randomBytes(std::mt19937 &random, int size, int kind)
{
    QByteArray b;
    static const char *const pieces[] = {"mutex", "\r\n", "\n", "+AG0-", "+-", "~~", "~}", "~x", "\x1b$B", "\xa1\xa1",
                                         "\xe6\x93\x8d", "\x81\x30\x81\x30", "\xef\xbb\xbf", "\x8f\xa1\xa1", "++"};
    while (b.size() < size) {
        const unsigned r = random();
        switch (kind % 4) {
        case 0: b.append(char(r)); break;
        case 1: b.append(char(r % 3 ? 0x80 | (r >> 8) : 0x20 + (r >> 8) % 0x5f)); break;
        case 2: b.append(r % 4 ? pieces[(r >> 8) % (sizeof pieces / sizeof *pieces)] : "abc"); break;
        default: b.append(char(0x20 + (r >> 8) % 0x5f)); break;
        }
    }
    b.truncate(size);
    return b;
}

// Every sequence that starts with a byte above 0x7f, decoded between two line feeds, gives no
// line feed of its own, and the printable ASCII it gives are some of its bytes after the first,
// in their order: so a printable ASCII character of a text is always its own byte, and a line
// always ends at a line-feed byte.
void checkAsciiComesFromAsciiBytes(QTextCodec *codec)
{
    QList<QByteArray> sequences;
    for (int lead = 0x80; lead < 0x100; ++lead) {
        for (int second = 0; second < 0x100; ++second) {
            if (second == '\n')
                continue;
            const QByteArray pair = QByteArray(1, char(lead)) + char(second);
            sequences << pair;
            // Longer forms: EUC-JP's three bytes after 0x8f, GB18030's four bytes.
            if (lead == 0x8f && second >= 0xa1)
                for (int third : {0x20, 0x41, 0xa1, 0xfe, 0x0d})
                    sequences << pair + char(third);
            if (second >= 0x30 && second <= 0x39)
                for (int third : {0x00, 0x30, 0x41, 0x6d, 0x81, 0xa1, 0xfe, 0x0d})
                    for (int fourth : {0x30, 0x35, 0x39, 0x2f, 0x3a, 0x41, 0x81})
                        sequences << pair + char(third) + char(fourth);
        }
    }
    if (codec->name() == "GB18030") {   // every four-byte sequence
        for (int a = 0x81; a <= 0xfe; ++a)
            for (int b = 0x30; b <= 0x39; ++b)
                for (int c = 0x81; c <= 0xfe; ++c)
                    for (int d = 0x30; d <= 0x39; ++d)
                        sequences << QByteArray(1, char(a)) + char(b) + char(c) + char(d);
    }
    QByteArray input("\n");
    for (const QByteArray &s : sequences)
        input += s + '\n';
    const QStringList pieces = decode(codec, input).split(QLatin1Char('\n'));
    QCOMPARE(pieces.size(), sequences.size() + 2);
    for (int i = 0; i < sequences.size(); ++i) {
        // Each printable ASCII character out is found, in order, among the bytes after the lead.
        qsizetype at = 0;
        for (const QChar c : pieces[i + 1]) {
            if (c.unicode() < 0x20 || c.unicode() >= 0x7f)
                continue;
            at = sequences[i].indexOf(char(c.unicode()), qMax<qsizetype>(at, 1)) + 1;
            if (at == 0)
                QFAIL(qPrintable(QStringLiteral("%1 gives %2").arg(QString::fromLatin1(sequences[i].toHex(' ')), pieces[i + 1])));
        }
    }
}

std::vector<unsigned char> randomData(std::mt19937 &random, size_t size, int kind)
{
    std::vector<unsigned char> d(size);
    for (auto &b : d) {
        const unsigned r = random();
        b = kind % 4 == 0   ? (unsigned char)r
            : kind % 4 == 1 ? (unsigned char)"aAbB\0\n+~\x80\xff"[r % 10]
            : kind % 4 == 2 ? (unsigned char)(r % 4 ? 'a' + r % 3 : r >> 8)
                            : (unsigned char)(r % 97 ? 0x20 + (r >> 8) % 0x5f : r >> 8);   // mostly plain text
    }
    return d;
}

ByteSet randomClass(std::mt19937 &random)
{
    ByteSet set;
    const unsigned c = 'a' + random() % 3;
    switch (random() % 5) {
    case 0: set.set("aAbB\0\n+~\x80\xff"[random() % 10] & 0xff); break;
    case 1: set.set(c); set.set(c ^ 0x20); break;
    case 2: for (unsigned b = 0x80; b < 0x100; ++b) set.set(b); break;
    case 3: for (int k = 0; k < 3; ++k) set.set(random() % 256); break;
    default: for (int k = 0; k < 40; ++k) set.set(random() % 256); break;
    }
    return set;
}

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

    void modelHoldsForItsCodec_data()
    {
        QTest::addColumn<QByteArray>("name");
        QList<QTextCodec *> seen;
        for (const int mib : QTextCodec::availableMibs()) {
            QTextCodec *codec = QTextCodec::codecForMib(mib);
            if (codec && !seen.contains(codec)) {
                seen << codec;
                QTest::newRow(codec->name().constData()) << codec->name();
            }
        }
    }

    // Each fact the search relies on, for the codecs whose model claims it.
    void modelHoldsForItsCodec()
    {
        QFETCH(QByteArray, name);
        QTextCodec *codec = QTextCodec::codecForName(name);
        const CodecModel &model = codecModel(codec);
        std::mt19937 random(7);
        // While no trigger byte comes, every byte decodes to its table entry.
        if (model.hasTable) {
            QByteArray allowed;
            for (int b = 0; b < 256; ++b) {
                if (!model.triggers.test(size_t(b)))
                    allowed.append(char(b));
            }
            for (int round = 0; round < 100; ++round) {
                QByteArray sample;
                QString expected;
                for (int i = 0; i < 600; ++i) {
                    sample.append(allowed[int(random() % unsigned(allowed.size()))]);
                    expected += QChar(model.table[uchar(sample.back())]);
                }
                QCOMPARE(decode(codec, sample), expected);
                QCOMPARE(decode(codec, sample, true), expected);
            }
        }
        if (model.special == CodecModel::Special::Transparent)
            checkAsciiComesFromAsciiBytes(codec);
        if (model.special == CodecModel::Special::Whole)
            return;
        // Lines decode one by one: decoding a text equals decoding it up to and including a line
        // feed, then the rest with a decoder that has just seen a line feed.
        const QString text = QStringLiteral("mutex 操作系统 言語 파이썬 a+b ~x €\r\n");
        for (int round = 0; round < 4000; ++round) {
            QByteArray head = round % 5 == 4 ? codec->fromUnicode(text) : randomBytes(random, int(random() % 40), round);
            QByteArray tail = round % 7 == 6 ? codec->fromUnicode(text) : randomBytes(random, int(random() % 40), round + 1);
            if (model.hzEscapes) {
                for (QByteArray *part : {&head, &tail}) {
                    part->replace("~{", "~}");
                    part->replace("~\n", "~~\n");
                    if (part->endsWith('~'))
                        part->append('~');
                }
                if (head.endsWith('~') && tail.startsWith('{'))
                    tail.prepend('x');
            }
            const QString whole = decode(codec, head + '\n' + tail);
            const QString split = decode(codec, head + '\n') + decode(codec, tail, true);
            QVERIFY2(whole == split, (head.toHex(' ') + " | " + tail.toHex(' ')).constData());
        }
        if (model.hzEscapes) {
            // Without "~{", lines decode one by one too, where a line feed after an unpaired
            // tilde ("~\n", "~~~\n") continues the line.
            static const char *const parts[] = {"~", "~~", "~}", "~x", "~\n", "\n", "\r", "mu", "\xa1", "\xfe\xa1", "~\xa1", "\x1b", "}"};
            for (int round = 0; round < 20000; ++round) {
                QByteArray bytes;
                for (int i = 1 + int(random() % 12); i > 0; --i)
                    bytes += parts[random() % std::size(parts)];
                if (bytes.contains("~{"))
                    continue;
                QString lines;
                qsizetype start = 0;
                for (qsizetype i = bytes.indexOf('\n'); i >= 0; i = bytes.indexOf('\n', i + 1)) {
                    qsizetype run = 0;
                    while (i - run > start && bytes[i - 1 - run] == '~')
                        ++run;
                    if (run % 2 == 0) {
                        const QString line = decode(codec, bytes.mid(start, i + 1 - start));
                        QVERIFY2(line.count(QLatin1Char('\n')) == 1, bytes.toHex(' ').constData());
                        lines += line;
                        start = i + 1;
                    }
                }
                const QString rest = decode(codec, bytes.mid(start));
                QVERIFY2(!rest.contains(QLatin1Char('\n')) && lines + rest == decode(codec, bytes), bytes.toHex(' ').constData());
            }
        }
        if (model.special != CodecModel::Special::Segments)
            return;
        // A line with trigger bytes but no structure that makes a line feed or a printable ASCII
        // character (a UTF-7 base64 run with such a unit) gives no line feed of its own, and
        // every printable ASCII character it gives that is not a trigger byte is one of its bytes.
        static const char *const pieces[] = {"+", "+-", "+A", "+AB", "+A-", "+AB-", "~", "~~", "~}", "~x", "mu", "tex",
                                             "\xa1", "\xfe\xa1", "-", " ", "+/", "++", "a", "\r", "+AGw-", "+AAo",
                                             "+ZeVnLIqe-", "+/v8", "+AAA"};
        std::vector<char16_t> asciiUnits{u'\n'};
        for (char16_t u = 0x20; u < 0x7f; ++u)
            asciiUnits.push_back(u);
        int checked = 0;
        for (int round = 0; round < 20000; ++round) {
            QByteArray line;
            for (int i = 1 + int(random() % 8); i > 0; --i)
                line += pieces[random() % (sizeof pieces / sizeof *pieces)];
            const auto *bytes = reinterpret_cast<const unsigned char *>(line.constData());
            if ((model.hzEscapes && (line.contains("~{") || line.endsWith('~')))
                || segmentMayMakeCharacters(model, bytes, size_t(line.size()), asciiUnits))
                continue;
            ++checked;
            const QString decoded = decode(codec, line + '\n', true);
            QVERIFY2(decoded.endsWith(QLatin1Char('\n')) && decoded.count(QLatin1Char('\n')) == 1, line.constData());
            for (const QChar c : decoded) {
                if (c.unicode() >= 0x20 && c.unicode() < 0x7f && !model.triggers.test(c.unicode()))
                    QVERIFY2(line.contains(char(c.unicode())), qPrintable(QString::fromLatin1(line) + " -> " + decoded));
            }
        }
        QVERIFY(checked > 1000);
    }

    void quietGapsHoldForItsCodec_data()
    {
        QTest::addColumn<QByteArray>("name");
        for (const int mib : QTextCodec::availableMibs()) {
            QTextCodec *codec = QTextCodec::codecForMib(mib);
            if (codec && codecModel(codec).quietGaps != QuietGaps::None)
                QTest::newRow(codec->name().constData()) << codec->name();
        }
    }

    // Whenever a decoded text holds a gated text, its bytes hold it with quiet switches between.
    void quietGapsHoldForItsCodec()
    {
        QFETCH(QByteArray, name);
        QTextCodec *codec = QTextCodec::codecForName(name);
        const QuietGaps gaps = codecModel(codec).quietGaps;
        // Switches of every kind, well formed or not, and bytes that look like their parts.
        static const std::string_view switches[] = {
            "\x1b(B"sv, "\x1b(J"sv, "\x1b(I"sv, "\x1b$B"sv, "\x1b$A"sv, "\x1b$)C"sv, "\x1b$)A"sv, "\x1b$*H"sv, "\x1b$+I"sv, "\x1b.A"sv,
            "\x1bN"sv, "\x1bO"sv, "\x1b"sv, "\x1b("sv, "\x0e"sv, "\x0f"sv, "~{"sv, "~}"sv, "~~"sv, "~\n"sv, "~"sv, "\x01"sv, "\x02t"sv,
            "\x0e\x00"sv, "\x0f\x00"sv, "\x10"sv, "\x18\x05"sv, "\x0b\x00\x10"sv, "\xe0"sv, "\xe8\x01"sv, "\xf0\x00"sv, "\xf1\x00\x10"sv,
            "\x00"sv, "\x0b\x21\x41"sv, "\x19\x41"sv, "(B"sv, "$B"sv, "ab"sv, "\xa1\xa1"sv, "\x21\x21"sv, "\x82"sv, "\xa6"sv, "\xaa"sv,
            "\x0c"sv, "\xf2"sv, "\x09"sv, "\x0d"sv, "\x1f\xff"sv, "\x0b\xff\xff"sv, "\xef\x00"sv, "\xf1\xff\x7f"sv, "\x08\x80"sv,
            "\x0e\xd8\x00"sv, "\xf0\x00\x00"sv, "\x18\x00"sv, "\x1a\xf9"sv, "\x0f\x00\x00"sv, "\xe7"sv, "\x18\x00\x00\xa8"sv,
            "\xe8\xa8\x09"sv, "+"sv, "+A"sv, "+AB-"sv, "+AA-"sv, "+-"sv, "+AGw"sv, "+/v8-"sv, "+ZeVn-"sv, "+AHQ-"sv};
        const QList<QPair<QString, Qt::CaseSensitivity>> texts{{QStringLiteral("thread"), Qt::CaseSensitive},
                                                              {QStringLiteral("ab"), Qt::CaseInsensitive},
                                                              {QStringLiteral("(B$"), Qt::CaseSensitive},
                                                              {QStringLiteral("a b"), Qt::CaseSensitive}};
        std::mt19937 random(11);
        int gapped = 0;
        for (const auto &[text, cs] : texts) {
            const std::vector<ByteSet> classes = quietGateClasses(text, cs, gaps);
            QVERIFY(!classes.empty());
            const QuietGate gate(classes, gaps);
            const std::vector<char16_t> &runUnits = NeedlePlan::build(text, cs, codecModel(codec)).segmentUnits;
            const QByteArray bytes = text.toLatin1();
            for (int round = 0; round < 20000; ++round) {
                QByteArray sample;
                for (int i = int(random() % 8); i >= 0; --i) {
                    const unsigned r = random();
                    const std::string_view switchBytes = switches[(r >> 8) % std::size(switches)];
                    switch (r % 4) {
                    case 0: sample += bytes.mid(int(r >> 8) % bytes.size(), 1 + int(r >> 16) % 3); break;
                    case 1: sample.append(switchBytes.data(), qsizetype(switchBytes.size())); break;
                    case 2: sample += char(r >> 8); break;
                    default:   // the text, its characters split by switches
                        bool unicode = false;   // in SCSU's Unicode mode: each character after a 0x00
                        for (const char c : bytes) {
                            if (!unicode && random() % 4 == 0) {
                                sample += '\x0f';   // SCU
                                unicode = true;
                            }
                            if (unicode)
                                sample += '\0';
                            sample += random() % 2 ? char(QChar::toUpper(uint(uchar(c)))) : c;
                            if (unicode && random() % 3 == 0) {
                                sample += char(0xe0 + random() % 8);   // UC0-UC7: back to bytes
                                unicode = false;
                            }
                            if (!unicode && random() % 3 == 0) {
                                const std::string_view more = switches[random() % std::size(switches)];
                                sample.append(more.data(), qsizetype(more.size()));
                            }
                        }
                        if (unicode)
                            sample += '\xe0';
                        break;
                    }
                }
                QTextCodec::ConverterState state;
                const QString decoded = codec->toUnicode(sample.constData(), int(sample.size()), &state);
                if (!decoded.contains(text, cs))
                    continue;
                const auto *data = reinterpret_cast<const unsigned char *>(sample.constData());
                if (segmentMayMakeCharacters(codecModel(codec), data, size_t(sample.size()), runUnits))
                    continue;   // UTF-7: a run makes a character of the text; such lines are decoded
                QVERIFY2(gate.holds(data, size_t(sample.size())), sample.toHex(' ').constData());
                // Read in two pieces, the gate holds in one of them.
                const size_t cut = random() % size_t(sample.size() + 1);
                QVERIFY2(gate.holds(data, cut, true) || gate.holds(data + cut, size_t(sample.size()) - cut),
                         (sample.toHex(' ') + " cut at " + QByteArray::number(qulonglong(cut))).constData());
                if (!sample.contains(bytes) && !(cs == Qt::CaseInsensitive && sample.toLower().contains(bytes)))
                    ++gapped;
                // Codecs decoded only through the line of the last place the gate starts at: the
                // text starts among the units of the bytes up to there, and what follows decodes
                // on from them as it does at once.
                if (gaps == QuietGaps::Shifts || gaps == QuietGaps::Tildes) {
                    std::vector<size_t> starts;
                    gate.starts(data, size_t(sample.size()), false, starts);
                    QVERIFY(!starts.empty());
                    const size_t last = starts.back();
                    QTextCodec::ConverterState pieces;
                    const int headBytes = int(gate.settledEnd(last, size_t(sample.size())));
                    const QString head = codec->toUnicode(sample.constData(), headBytes, &pieces);
                    const QString rest = codec->toUnicode(sample.constData() + headBytes, int(sample.size()) - headBytes, &pieces);
                    QCOMPARE(head + rest, decoded);
                    QVERIFY2(decoded.lastIndexOf(text, -1, cs) < head.size(), sample.toHex(' ').constData());
                }
            }
        }
        QVERIFY(gapped > 50);   // the samples reach texts split by switches
    }

    void caseFoldingIsQStringsRule()
    {
        std::mt19937 random(23);
        for (uint u = 0; u < 0x10000; ++u) {
            if (u >= 0xd800 && u <= 0xdfff)
                continue;
            const QString a = QString(QChar(char16_t(u)));
            for (const char16_t v : casefold::variants(char16_t(u), Qt::CaseInsensitive))
                QVERIFY(a.compare(QString(QChar(v)), Qt::CaseInsensitive) == 0);
            const char16_t w = char16_t(random() % 0x10000);
            if (w < 0xd800 || w > 0xdfff)
                QCOMPARE(casefold::unitsMatch(char16_t(u), w, Qt::CaseInsensitive),
                         a.compare(QString(QChar(w)), Qt::CaseInsensitive) == 0);
        }
        // Containment is position by position.
        const QString letters = QStringLiteral("aAkK\u212asS\u017f\u00df\u1e9e\u03a3\u03c3\u03c2\u0130i\u0131I");
        for (int round = 0; round < 20000; ++round) {
            QString hay, needle;
            for (int i = 0; i < 8; ++i)
                hay += letters[int(random() % unsigned(letters.size()))];
            for (int i = 0; i < 2; ++i)
                needle += letters[int(random() % unsigned(letters.size()))];
            bool mine = false;
            for (int at = 0; at + 2 <= hay.size(); ++at)
                mine = mine || (casefold::unitsMatch(hay[at].unicode(), needle[0].unicode(), Qt::CaseInsensitive)
                                && casefold::unitsMatch(hay[at + 1].unicode(), needle[1].unicode(), Qt::CaseInsensitive));
            QCOMPARE(mine, hay.contains(needle, Qt::CaseInsensitive));
        }
    }

    void scansFindWhatALoopFinds()
    {
        std::mt19937 random(31);
        for (int round = 0; round < 4000; ++round) {
            const auto data = randomData(random, random() % 700, round);
            std::vector<ByteSet> classes(1 + random() % 6);
            for (ByteSet &set : classes)
                set = randomClass(random);
            if (round % 50 == 0)
                classes.push_back(ByteSet());   // never matches
            const size_t from = random() % (data.size() + 1);
            const size_t to = from + random() % (data.size() + 2 - from);
            std::vector<size_t> found, expected;
            BytePattern(classes).findAll(data.data(), data.size(), from, to, found);
            for (size_t p = from; p < to && p + classes.size() <= data.size(); ++p) {
                bool all = true;
                for (size_t i = 0; i < classes.size(); ++i)
                    all = all && classes[i][data[p + i]];
                if (all)
                    expected.push_back(p);
            }
            QCOMPARE(found, expected);

            unsigned categories = 0;
            for (unsigned c = 1; c <= bytecategory::All; c <<= 1) {
                const ByteSet set = bytecategory::bytesOf(c);
                for (const unsigned char b : data)
                    categories |= set[b] ? c : 0;
            }
            QCOMPARE(bytecategory::present(data.data(), data.size()), categories);

            const unsigned char value = "a\n+\x80"[round % 4];
            const auto first = std::find(data.begin(), data.end(), value);
            const auto last = std::find(data.rbegin(), data.rend(), value);
            QCOMPARE(bytescan::count(data.data(), data.size(), value), size_t(std::count(data.begin(), data.end(), value)));
            QCOMPARE(bytescan::find(data.data(), data.size(), value), first == data.end() ? -1 : first - data.begin());
            QCOMPARE(bytescan::findLast(data.data(), data.size(), value), last == data.rend() ? -1 : data.rend() - last - 1);

            std::vector<char16_t> units(data.size() / 2);
            for (size_t i = 0; i < units.size(); ++i)
                units[i] = char16_t(data[2 * i] | (round % 3 ? 0 : data[2 * i + 1] << 8));
            const auto lastUnit = std::find(units.rbegin(), units.rend(), char16_t(value));
            std::ptrdiff_t lastFound = -2;
            QCOMPARE(bytescan::countUnits(units.data(), units.size(), value, lastFound),
                     size_t(std::count(units.begin(), units.end(), char16_t(value))));
            QCOMPARE(lastFound, lastUnit == units.rend() ? -1 : units.rend() - lastUnit - 1);
        }
    }
private:
    TempTree tree_;
    QList<CorpusFile> corpus_;
    QStringList paths_;
};

QTEST_GUILESS_MAIN(ContentEquivalenceTest)
#include "test_contentequivalence.moc"
