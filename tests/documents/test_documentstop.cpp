// A stop request ends the reading of a large document within one decompressed piece (docx)
// or one page (PDF), and does not wait for a page that takes long.

#include "documents/documentreader.h"
#include "documents/formatreaders.h"
#include "temptree.h"
#include "ziptestwriter.h"

#include <QTest>
#include <QThread>

#include <QElapsedTimer>

#include <atomic>
#include <memory>

namespace {

// A PDF of `pages` pages, each of `lines` text lines, written by hand without a cross-reference
// table: the reader rebuilds it, as for any damaged table.
QByteArray manyPagePdf(int pages, int lines)
{
    QByteArray pdf = "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                     "3 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> endobj\n", kids;
    for (int page = 0, object = 4; page < pages; ++page, object += 2) {
        const QByteArray body = "BT /F1 10 Tf 12 TL 50 760 Td" + QByteArray(" (a line of the page) '").repeated(lines);
        kids += QByteArray::number(object) + " 0 R ";
        pdf += QByteArray::number(object) + " 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font"
            " << /F1 3 0 R >> >> /Contents " + QByteArray::number(object + 1) + " 0 R >> endobj\n" + QByteArray::number(object + 1)
            + " 0 obj << /Length " + QByteArray::number(body.size() + 3) + " >>\nstream\n" + body + " ET\nendstream\nendobj\n";
    }
    return pdf + "2 0 obj << /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages)
        + " >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n";
}

} // namespace

class DocumentStopTest : public QObject
{
    Q_OBJECT

private slots:
    void stopRequestEndsReadingSoon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mostLines");
        // One decompressed piece (64 KB) holds about a thousand of the document's 150,000
        // paragraphs; a page holds 40 lines of the PDF's 20,000.
        QTest::newRow("docx") << "big.docx" << 5000;
        QTest::newRow("pdf") << "big.pdf" << 40;
    }
    void stopRequestEndsReadingSoon()
    {
        QFETCH(QString, name);
        QFETCH(int, mostLines);
        // Written here, not by a generator process: a thread sanitizer forbids threads after a fork.
        TempTree big;
        if (name.endsWith(".pdf")) {
            big.file(name, manyPagePdf(500, 40));
        } else {
            const QByteArray xml = "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>"
                + QByteArray("<w:p><w:r><w:t>a paragraph</w:t></w:r></w:p>").repeated(150000) + "</w:body></w:document>";
            QVERIFY(writeZip(big.path(name), {ZipTestEntry{"word/document.xml", xml}}));
        }
        std::atomic<int> lines{0};
        bool finished = false;
        QStringList diagnostics;
        std::unique_ptr<QThread> reader(QThread::create([&] {
            finished = readDocument(big.path(name), [&](int, const QString &) {
                QThread::currentThread()->requestInterruption();   // stop from the first line on
                return ++lines > 0;
            }, [&](const QByteArray &line) { diagnostics.append(QString::fromUtf8(line)); });
        }));
        reader->start();
        QVERIFY(reader->wait(60000));
        QVERIFY(finished);
        QVERIFY(diagnostics.isEmpty());
        QVERIFY2(lines > 0 && lines <= mostLines, qPrintable(QString::number(lines)));
    }

    // A reader stuck in its second page for two seconds, as poppler may be in a huge one.
    void stopDoesNotWaitForAPage()
    {
        const QuorvelReadPdf slowReader = [](const char *, QuorvelPdfPage atPage, QuorvelPdfLine onLine, void *context) {
            if (!atPage(context, 1) || !onLine(context, 1, u"first", 5))
                return int(QuorvelPdfStopped);
            QThread::msleep(2000);
            return int(atPage(context, 2) && onLine(context, 2, u"second", 6) ? QuorvelPdfFinished : QuorvelPdfStopped);
        };
        QStringList lines;
        DocumentRead outcome = DocumentRead::Finished;
        QElapsedTimer clock;
        std::unique_ptr<QThread> reader(QThread::create([&] {
            outcome = readPdfWith(slowReader, QString(), [&](int, const QString &line) {
                lines.append(line);
                QThread::currentThread()->requestInterruption();
                clock.start();
                return true;
            });
        }));
        reader->start();
        QVERIFY(reader->wait(60000));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(outcome, DocumentRead::Stopped);
        QCOMPARE(lines, QStringList{"first"});
        QThread::msleep(2100);   // the reader leaves its page and ends, with nothing handed over
        QCOMPARE(lines, QStringList{"first"});
    }
};

QTEST_GUILESS_MAIN(DocumentStopTest)
#include "test_documentstop.moc"
