// The text of documents: places, case rules, damage, memory, and the walk's use of it.
// The documents are written at set-up by Debian's generators (makedocuments.py).

#include "documents/documentreader.h"
#include "documents/formatreaders.h"
#include "documents/grepdocument.h"
#include "documents/zippackage.h"
#include "walk/searchoptions.h"
#include "temptree.h"
#include "ziptestwriter.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <sys/resource.h>

namespace {

// Runs the generator; an empty result, or the line that names what is missing.
QString makeDocuments(const QStringList &arguments)
{
    QProcess maker;
    maker.start(QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3", QStringList{QStringLiteral(QUORVEL_DOCUMENT_MAKER)} + arguments);
    if (!maker.waitForFinished(300000))
        return QStringLiteral("python3 cannot run the document generator");
    const QString said = QString::fromUtf8(maker.readAllStandardOutput() + maker.readAllStandardError()).trimmed();
    return maker.exitCode() == 0 ? QString() : said.section(QLatin1Char('\n'), -1);
}

// The peak resident memory of this process so far, in kB.
qint64 peakResidentKb()
{
    struct rusage usage = {};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? qint64(usage.ru_maxrss) : 0;
}

} // namespace

class DocumentsTest : public QObject
{
    Q_OBJECT

    TempTree tree_;
    QStringList said_;   // the diagnostics of the last grep

    QList<TFileInfo> grep(const QString &file, const QString &text, Qt::CaseSensitivity cs, bool deep = false)
    {
        TSearchOptions options;
        options.grepText = text;
        options.caseSensitivity = cs;
        options.deepSearch = deep;
        said_.clear();
        options.diagnostics = [this](const QByteArray &line) { said_.append(QString::fromUtf8(line)); };
        QList<TFileInfo> hits;
        grepDocument(&options, tree_.path(file), hits, file);
        return hits;
    }

private slots:
    void initTestCase()
    {
        const QString missing = makeDocuments({tree_.root()});
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
    }

    void hitsCarryPlaceAndText_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ignoreCase");
        QTest::addColumn<QStringList>("expected");   // "place:text"
        const QString longLine = QString(78, QChar(0x957f)) + QStringLiteral("长长");
        // Paragraphs are numbered through table cells; a tab stays a tab.
        QTest::newRow("docx") << "contract.docx" << "合同" << false
                              << QStringList{"1:合同编号 A-1", "7:合同总额\t100", "9:" + longLine};
        QTest::newRow("docx cell, case") << "contract.docx" << "alpha" << true << QStringList{"4:甲方 Alpha"};
        // Rows by number, the sheet's name in front; names are not searched, shared strings are.
        QTest::newRow("xlsx") << "sheet.xlsx" << "合同" << false << QStringList{"2:[合同]\t合同甲\t100"};
        QTest::newRow("xlsx number") << "sheet.xlsx" << "100" << false << QStringList{"2:[合同]\t合同甲\t100"};
        QTest::newRow("xlsx ja") << "sheet.xlsx" << "日本語" << false << QStringList{"5:[合同]\t日本語のテキスト"};
        QTest::newRow("xlsx booleans") << "sheet.xlsx" << "真假" << false << QStringList{"6:[合同]\t真假\tTRUE\tFALSE"};
        QTest::newRow("xlsx second sheet") << "sheet.xlsx" << "한국어" << false << QStringList{"3:[Sheet二]\tAlpha\t한국어 계약"};
        // Slides in the presentation's order, not the parts' names.
        QTest::newRow("pptx") << "deck.pptx" << "合同" << false << QStringList{"1:第一页 合同"};
        QTest::newRow("pptx case") << "deck.pptx" << "CONTRACT" << true << QStringList{"2:한국어 슬라이드 Contract"};
        QTest::newRow("odt") << "letter.odt" << "合同" << false << QStringList{"1:标题 合同", "3:セル 合同"};
        QTest::newRow("odt spaces") << "letter.odt" << "two  spaces\tand" << true << QStringList{"5:Two  spaces\tand a tab"};
        // Repeated empty rows count: the last row is the sixth.
        QTest::newRow("ods") << "book.ods" << "日本語" << false << QStringList{"6:[合同表]\t한국어\t日本語"};
        QTest::newRow("odp") << "slides.odp" << "合同" << false << QStringList{"2:日本語 合同"};
        // Spine order across chapters; the head's title is not text; white space collapses.
        QTest::newRow("epub") << "book.epub" << "合同" << false << QStringList{"2:合同 in bold text"};
        QTest::newRow("epub ja") << "book.epub" << "日本語" << false << QStringList{"3:日本語の本"};
        QTest::newRow("epub entity") << "book.epub" << "책\u00a0contract" << true << QStringList{"4:한국어 책\u00a0Contract"};
        QTest::newRow("pdf pages") << "pages.pdf" << "contract" << true
                                   << QStringList{"2:Contract on page two", "3:page three CONTRACT"};
        QTest::newRow("pdf case") << "pages.pdf" << "contract" << false << QStringList{};
        QTest::newRow("pdf cjk") << "cjk.pdf" << "行" << false << QStringList{"1:合同 第一行", "1:日本語の行", "1:한국어 行"};
    }

    void hitsCarryPlaceAndText()
    {
        QFETCH(QString, file);
        QFETCH(QString, text);
        QFETCH(bool, ignoreCase);
        QFETCH(QStringList, expected);
        const Qt::CaseSensitivity cs = ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
        for (const bool deep : {false, true}) {
            QStringList found;
            for (const TFileInfo &hit : grep(file, text, cs, deep)) {
                QCOMPARE(hit.fileName, file);
                found.append(QString::number(hit.lineNo) + QLatin1Char(':') + hit.lineText);
            }
            QCOMPARE(found, expected);
            QVERIFY2(said_.isEmpty(), qPrintable(said_.join(QString())));
        }
    }

    // The fast parser of Office Open XML parts gives the lines and the end the reference one
    // gives: on the generated documents and on markup they seldom hold.
    void fastParserReadsAsTheReference_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *file : {"contract.docx", "sheet.xlsx", "deck.pptx", "broken.xlsx"})
            QTest::newRow(file) << tree_.path(file);
        const QByteArray body =
            "<x:p><x:r><x:t>&#x5408;&#21516; &amp; &lt;a&gt;</x:t></x:r></x:p><!-- note --><?pi data?>"
            "<x:p><x:r><x:t><![CDATA[<合同>]]></x:t><x:tab/><x:t xml:space=\"preserve\">line\r\nend </x:t></x:r></x:p>"
            "<x:p><x:r><x:t>中文</x:t></x:r><x:r><x:pict><x:p><x:r><x:t>box</x:t></x:r></x:p></x:pict></x:r></x:p>";
        const QByteArray document = "<x:document xmlns:x=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><x:body>"
            + body + "</x:body></x:document>";
        const QString utf16 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + QString::fromUtf8(document);
        const QList<std::pair<const char *, QByteArray>> made{
            {"markup", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + document},
            {"utf-16", QByteArray("\xff\xfe") + QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2)},
            {"cut", document.left(document.size() / 2)},
            {"crossed tags", QByteArray(document).replace("</x:body>", "</x:p></x:body>")},
        };
        for (const auto &[tag, xml] : made) {
            const QString path = tree_.path(QStringLiteral("parsers/%1.docx").arg(tag));
            QDir().mkpath(tree_.path("parsers"));
            QVERIFY(writeZip(path, {ZipTestEntry{"word/document.xml", xml}}));
            QTest::newRow(tag) << path;
        }
    }

    void fastParserReadsAsTheReference()
    {
        QFETCH(QString, file);
        QStringList lines[2];
        DocumentRead outcomes[2];
        for (const XmlParser parser : {XmlParser::Fast, XmlParser::Reference}) {
            const int i = parser == XmlParser::Fast ? 0 : 1;
            const DocumentLineSink sink = [&](int place, const QString &line) {
                lines[i].append(QString::number(place) + QLatin1Char(':') + line);
                return true;
            };
            ZipPackage package(file);
            QVERIFY(package.isOpen());
            outcomes[i] = file.endsWith(".xlsx") ? readOfficeSheet(package, sink, parser)
                : file.endsWith(".pptx")         ? readOfficeSlides(package, sink, parser)
                                                 : readOfficeText(package, sink, parser);
        }
        QCOMPARE(lines[0], lines[1]);
        QCOMPARE(outcomes[0], outcomes[1]);
        QVERIFY(!lines[0].isEmpty() || outcomes[0] == DocumentRead::Unreadable);
    }

    void damagedDocumentGivesOneDiagnostic_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("hitsBeforeDamage");
        QTest::newRow("not a zip") << "damaged.docx" << 0;
        QTest::newRow("cut workbook") << "broken.xlsx" << 0;
        QTest::newRow("cut content") << "cut.odt" << 1;
        QTest::newRow("cut pdf") << "truncated.pdf" << 0;
    }

    void damagedDocumentGivesOneDiagnostic()
    {
        QFETCH(QString, file);
        QFETCH(int, hitsBeforeDamage);
        QCOMPARE(grep(file, "合同", Qt::CaseSensitive).size(), hitsBeforeDamage);
        QCOMPARE(said_, QStringList{tree_.path(file) + QStringLiteral(": cannot read document (damaged or encrypted)\n")});
    }

    void largePartStaysWithinBoundedMemory()
    {
    #ifdef QUORVEL_SANITIZED
        const int megabytes = 16;   // a sample: the sanitizer's own memory is no measure
    #else
        const int megabytes = 200;
    #endif
        TempTree big;
        const QString missing = makeDocuments({big.root(), QStringLiteral("big"), QString::number(megabytes)});
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        [[maybe_unused]] const qint64 before = peakResidentKb();
        int last = 0;
        QString sample;
        QVERIFY(readDocument(big.path(QStringLiteral("big.docx")), [&](int place, const QString &line) {
            ++last;
            if (place == 123457)
                sample = line;
            return place == last;
        }, {}));
        QCOMPARE(sample, QStringLiteral("段落 123456 合同 text"));
        QVERIFY(last > megabytes * 4000);
    #ifndef QUORVEL_SANITIZED
        QVERIFY2(peakResidentKb() - before < 50 * 1024, qPrintable(QStringLiteral("grew by %1 kB").arg(peakResidentKb() - before)));
    #endif
    }

    void walkSearchesDocumentsByTextAndLegacyFilesByBytes()
    {
        TempTree tree;
        QFile::copy(tree_.path(QStringLiteral("contract.docx")), tree.path(QStringLiteral("contract.DOCX")));
        tree.file(QStringLiteral("old.doc"), "binary \x01 合同 bytes\n");
        QProcess search;
        search.start(QStringLiteral(QUORVEL_SEARCH_BIN), {QStringLiteral("-d"), tree.root(), QStringLiteral("-t"), QStringLiteral("合同")});
        QVERIFY(search.waitForFinished(60000));
        QStringList lines = QString::fromUtf8(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        lines.sort();
        const QString all = lines.join('\n').replace(tree.root() + '/', QString());
        QVERIFY2(lines.size() == 4 && all.startsWith("contract.DOCX:1:合同编号 A-1\ncontract.DOCX:7:合同总额\t100\ncontract.DOCX:9:长长")
                 && all.endsWith("\nold.doc:1:binary \x01 合同 bytes"), qPrintable(all));
    }
};

QTEST_GUILESS_MAIN(DocumentsTest)
#include "test_documents.moc"
