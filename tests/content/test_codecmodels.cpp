// The facts about codecs that the fast content search relies on, checked against the codecs
// themselves: byte tables, ASCII transparency, line-feed synchronisation, case folding
// (piecewise decoding is proven by the equivalence test, whose chunkings decode one
// byte at a time.) And its vector scans against plain loops, on random data of every kind
// and length.

#include "content/bytepattern.h"
#include "content/bytescan.h"
#include "content/casefold.h"
#include "content/codecmodel.h"
#include "content/needleplan.h"
#include "content/quietgaps.h"

#include <QTest>
#include <QTextCodec>

#include <algorithm>
#include <iterator>
#include <random>
#include <string_view>

using namespace std::string_view_literals;

namespace {

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

class CodecModelTest : public QObject
{
    Q_OBJECT

private slots:
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
        }
    }
};

QTEST_GUILESS_MAIN(CodecModelTest)
#include "test_codecmodels.moc"
