// A stop request ends the reading of a large document within one decompressed piece.

#include "documents/documentreader.h"
#include "temptree.h"
#include "ziptestwriter.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

class DocumentStopTest : public QObject
{
    Q_OBJECT

private slots:
    void stopRequestEndsReadingWithinAPiece()
    {
        // Written here, not by a generator process: a thread sanitizer forbids threads after a fork.
        QByteArray xml = "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>";
        for (int i = 0; i < 150000; ++i)
            xml += "<w:p><w:r><w:t>paragraph " + QByteArray::number(i) + "</w:t></w:r></w:p>";
        xml += "</w:body></w:document>";
        TempTree big;
        QVERIFY(writeZip(big.path(QStringLiteral("big.docx")), {ZipTestEntry{"word/document.xml", xml}}));
        std::atomic<int> lines{0};
        bool finished = false;
        QStringList diagnostics;
        std::unique_ptr<QThread> reader(QThread::create([&] {
            finished = readDocument(big.path(QStringLiteral("big.docx")), [&](int, const QString &) {
                QThread::currentThread()->requestInterruption();   // stop from the first line on
                return ++lines > 0;
            }, [&](const QByteArray &line) { diagnostics.append(QString::fromUtf8(line)); });
        }));
        reader->start();
        QVERIFY(reader->wait(60000));
        QVERIFY(finished);
        QVERIFY(diagnostics.isEmpty());
        // One decompressed piece (64 KB) holds about a thousand of the document's 150,000 paragraphs.
        QVERIFY2(lines > 0 && lines < 5000, qPrintable(QString::number(lines)));
    }
};

QTEST_GUILESS_MAIN(DocumentStopTest)
#include "test_documentstop.moc"
