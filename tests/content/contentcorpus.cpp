#include "contentcorpus.h"

#include "temptree.h"
#include "walk/searchthread.h"

#include <QTextCodec>

#include <random>

namespace {

QString sampleText()
{
    QStringList lines{
        QStringLiteral("pthread_mutex_lock(&m); // take the mutex"),
        QStringLiteral("MUTEX in capitals, Mutex mixed, mUtEx odd"),
        QStringLiteral("nothing to see here"),
        QStringLiteral(" mutex after a blank, and mutex twice"),
        QStringLiteral("操作系统 和 資訊科技 と 言語設計"),
        QStringLiteral("파이썬은 Korean 測試軟體"),
        QStringLiteral("Kelvin \u212a, long \u017f, mask MASK ma\u017fk"),
        QStringLiteral("euro €5 and a\U0001F600b and ~tilde~ and a+b"),
        QString(120, QLatin1Char('x')) + QStringLiteral(" mutex beyond the first eighty"),
        QString(79, QLatin1Char('y')) + QStringLiteral("mutex"),
        QStringLiteral("己所不欲 小細工 ½ ¼ Ω ω Σσς"),
        QStringLiteral("操作系统 ").repeated(16) + QStringLiteral("end"),
        QString(),
        QStringLiteral("last line mutex"),
    };
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QByteArray randomBytes(int size, unsigned seed, int kind)
{
    std::mt19937 random(seed);
    QByteArray b;
    b.reserve(size);
    static const char *const words[] = {"mutex", "MuTeX", "mask", "+AG0-", "~{", "~}", "~\n", "\r\n", "\n",
                                        "\xe6\x93\x8d\xe4\xbd\x9c", "\x81\x40", "a+b", "~~", "\x1b$B", "\x0e", "\x0f"};
    while (b.size() < size) {
        const unsigned r = random();
        switch (kind) {
        case 0: b.append(char(r & 0xff)); break;
        case 1: b.append(char(0x80 | (r & 0x7f))); break;
        default:
            if (r % 7 == 0)
                b.append(words[(r >> 8) % (sizeof words / sizeof *words)]);
            else if (r % 5 == 0)
                b.append(char((r >> 8) & 0xff));
            else
                b.append(char(0x20 + (r >> 8) % 0x5f));
            break;
        }
    }
    b.truncate(size);
    return b;
}

} // namespace

QByteArray encodeWith(const char *codecName, const QString &text)
{
    QTextCodec *codec = QTextCodec::codecForName(codecName);
    if (!codec)
        qFatal("no codec %s", codecName);
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    return codec->fromUnicode(text.constData(), int(text.size()), &state);
}

TSearchOptions optionsFor(const QString &text, Qt::CaseSensitivity cs, bool deep)
{
    searchThread worker;
    worker.setSearchParam({}, {QStringLiteral("*")}, text, cs, true, false, deep);
    return worker.searchOptions();
}

QStringList corpusSearchTexts()
{
    return {"mutex", " mutex", "Mutex", "mask", "k", "操作系统", "資訊科技", "言語設計", "파이썬은", "測試軟體", "€5",
            "a\U0001F600b", "\u212a", "~", "a+b", "己所不欲", "小細工", "ω",
            QStringLiteral("\ufeff"),   // from a plain literal the byte-order mark would be dropped
            "tex\r", "合同",
            // Longer than the byte patterns of the fast search.
            QString(70, QLatin1Char('x')) + QStringLiteral(" mutex"), QStringLiteral("操作系统 ").repeated(15)};
}

QList<CorpusFile> contentCorpus()
{
    QList<CorpusFile> files;
    const QString text = sampleText();
    QString crlf = text;
    crlf.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    QString loneCr = text;
    loneCr.replace(QLatin1Char('\n'), QLatin1Char('\r'));

    files.push_back({"empty", QByteArray()});
    files.push_back({"ascii-lf", "one mutex\nMUTEX two\nnone\n"});
    files.push_back({"utf8-lf", text.toUtf8()});
    files.push_back({"utf8-crlf", crlf.toUtf8()});
    files.push_back({"utf8-lone-cr", loneCr.toUtf8()});
    files.push_back({"no-final-lf", "first\nlast mutex"});
    files.push_back({"cr-at-end", "first\nlast mutex\r"});
    files.push_back({"cr-cr-lf", "a mutex\r\r\nb tex\r\nc utex\r\rd"});
    files.push_back({"only-line-feeds", "\n\n\n"});
    files.push_back({"only-crlf", "\r\n"});
    files.push_back({"eighty", QByteArray(80, 'z') + "\r\n" + QByteArray(79, 'z') + "mutex\r\n" + QByteArray(81, 'z') + "\r"});
    files.push_back({"utf8-bom", "\xef\xbb\xbf" + text.toUtf8()});
    files.push_back({"utf8-bom-only", "\xef\xbb\xbf"});
    files.push_back({"utf8-mid-bom", "mutex\n\xef\xbb\xbfmutex\n\xef\xbb\xbf\xef\xbb\xbf\n"});
    files.push_back({"utf16le-bom", "\xff\xfe" + encodeWith("UTF-16LE", text)});
    files.push_back({"utf16le", encodeWith("UTF-16LE", text)});
    files.push_back({"utf16be-bom", "\xfe\xff" + encodeWith("UTF-16BE", text)});
    files.push_back({"utf16be", encodeWith("UTF-16BE", crlf)});
    files.push_back({"utf16le-odd", encodeWith("UTF-16LE", text) + "x"});
    files.push_back({"utf16le-bom-only", "\xff\xfe"});
    files.push_back({"utf32le-bom", QByteArray("\xff\xfe\0\0", 4) + encodeWith("UTF-32LE", text)});
    files.push_back({"utf32be-bom", QByteArray("\0\0\xfe\xff", 4) + encodeWith("UTF-32BE", text)});
    files.push_back({"utf32le", encodeWith("UTF-32LE", crlf)});
    files.push_back({"utf32be", encodeWith("UTF-32BE", text)});
    for (const char *codec : {"GBK", "Big5", "Shift_JIS", "EUC-JP", "windows-949", "GB18030", "Big5-HKSCS",
                              "ISO-8859-1", "ISO-8859-7", "KOI8-R", "windows-1252", "IBM037", "IBM1047", "UTF-7",
                              "HZ-GB-2312", "ISO-2022-JP", "ISO-2022-KR", "ISO-2022-CN", "SCSU", "BOCU-1",
                              "TSCII", "CESU-8", "IBM437"})
        files.push_back({QStringLiteral("enc-%1").arg(QLatin1String(codec)), encodeWith(codec, text)});
    files.push_back({"utf7-base64", "abc+AG0AdQB0AGUAeA-def mutex\nx+AAoAbQB1AHQAZQB4-y\n+-mutex+ZeVnLA-\ni++; a+b; c + d\n"
                                   "a run's line feed: +AAo-\nmu+AA-tex mu+AB-tex +ZeVn-mutex\n"});
    files.push_back({"utf7-runs-only", "+AG0AdQB0AGUAeA-\n+AE0AVQBUAEUAWA-\n"});
    files.push_back({"hz-escapes", "~{<:Ky2;S{~} mutex\nmu~\ntex here\n~~ tilde ~} ~x\n"});
    // Decoded only through the line of the last occurrence: one right after a switch, one at the
    // end of a line longer than a decoding piece, and lines with switches after them.
    files.push_back({"iso2022-last-line", encodeWith("ISO-2022-JP", QStringLiteral("操作 mutex\n") + QString(5000, QLatin1Char('x'))
                                                                        + QStringLiteral(" mutex\n系统\n").repeated(2))
                                              + "\x1b(Bmutex tail \x1b$B\n" + encodeWith("ISO-2022-JP", QStringLiteral("操作\n"))});
    files.push_back({"hz-continued", "one mu~\ntex\ntwo~~\nmutex~~~\nstill three mutex\n~~~~\nfour ~\r\nmutex\n"
                                     "~}mutex~\n~\n~\nmu~}tex\n" + QByteArray(300, '~') + "\nmutex\nlast mu~\ntex~"});
    files.push_back({"hz-tilde-plain", "a ~x mutex\n~~mutex~~\nplain mutex line\n"});
    files.push_back({"code-like", "int i = a + b; // mutex\nx = ~y;\f\n/* \xc2\xa9 2024 mutex */\n"
                                    "c+=1;\n\x1b[0m mutex\n%s mutex\n"});
    files.push_back({"utf8-broken", QByteArray("\xe4\x80").repeated(300) + "mutex\n\xe4\xb8\nmu\xc3tex\n"
                                      "\xc3mutex\n\xc1\xad mutex \xed\xa0\x80\n\xf0\x9f\x98\n"});
    files.push_back({"gbk-trail", "\x81mutex\n\x81 mutex\nmutex\x81\n\xa4mutex\n"});
    files.push_back({"replacement", "???? and \x1a\x1a\x1a\x1a and ?5 and a?b and a??b\n\x3f\x3f\x3f\x3f\n"});
    files.push_back({"ebcdic-lines", encodeWith("IBM037", QStringLiteral("mutex one\nMUTEX two\u0085three mutex\n"))});
    QByteArray many;
    for (int i = 0; i < 3000; ++i) {
        many += QByteArray::number(i);
        many += (i % 97 == 0) ? " mutex" : (i % 89 == 0) ? " \xe6\x93\x8d\xe4\xbd\x9c\xe7\xb3\xbb\xe7\xbb\x9f" : " line";
        many += (i % 3 == 0) ? "\r\n" : "\n";
    }
    files.push_back({"many-lines", many});
    files.push_back({"binary-random", randomBytes(4000, 1, 0)});
    files.push_back({"binary-high", randomBytes(3000, 2, 1)});
    files.push_back({"binary-mixed", randomBytes(12000, 3, 2)});
    files.push_back({"binary-mixed-2", randomBytes(6000, 4, 2)});

    // Large ones: read in plain mode and by a few codecs only.
    QByteArray longLine = QByteArray(150000, 'a') + "mutex" + QByteArray(150000, 'b') + "MUTEX";
    files.push_back({"long-line", longLine, true});
    files.push_back({"long-line-utf8", QString(QString::fromUtf8("操作") + QString(40000, QChar(0x7cfb)) + QStringLiteral("mutex 操作系统"))
                                             .toUtf8(), true});
    files.push_back({"long-line-utf16", "\xff\xfe" + encodeWith("UTF-16LE", QString(70000, QLatin1Char('q')) + QStringLiteral("mutex\n")), true});
    files.push_back({"binary-large", randomBytes(200000, 5, 2), true});

    const QDir fixtures(thirdPartyFixtures(QStringLiteral("cjkencodings")));
    if (!fixtures.exists())
        qWarning("third-party fixtures absent: the corpus lacks the cjkencodings texts");
    for (const QString &name : fixtures.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
        QFile f(fixtures.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            files.push_back({QStringLiteral("fixture-") + name, f.readAll()});
    }
    return files;
}
