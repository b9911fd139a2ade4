// Files no line-by-line reader could take: a line longer than any buffer, files larger than
// the search can finish before it is stopped, things that are no files at all, and search
// texts far longer than a line. A file the walk lists as regular is opened through its
// directory and never stat'ed unless its first chunk fills up: its hits must equal those of the
// search by path at every size around the chunk, and whatever has replaced it gives no hit.
// A stop request ends the reading of a large document within one decompressed piece (docx)
// or one page (PDF), and does not wait for a page that takes long.

#include "content/contentsearch.h"
#include "content/contentplan.h"
#include "contentcorpus.h"
#include "documents/documentreader.h"
#include "documents/formatreaders.h"
#include "temptree.h"
#include "ziptestwriter.h"

#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Writes `size` bytes of `fill` (random bytes if 0) with `inserts` at their offsets.
QString writeLargeFile(TempTree &tree, const QString &name, qint64 size, char fill,
                       const QList<QPair<qint64, QByteArray>> &inserts)
{
    QFile file(tree.file(name));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(file.fileName()));
    QByteArray block(1 << 20, fill);
    std::mt19937 random(5);
    for (qint64 written = 0; written < size; written += block.size()) {
        for (char &b : block)
            b = fill ? fill : char(random());
        file.write(block.constData(), std::min<qint64>(block.size(), size - written));
    }
    for (const auto &insert : inserts) {
        file.seek(insert.first);
        file.write(insert.second);
    }
    return file.fileName();
}

QList<TFileInfo> search(const TSearchOptions &options, const QString &path, const QString &name)
{
    QList<TFileInfo> hits;
    ContentSearch(options).search(path, hits, name);
    return hits;
}

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

class ContentLimitsTest : public QObject
{
    Q_OBJECT

private slots:
    void hugeLinesAreStreamedAndReportedOnce_data()
    {
        QTest::addColumn<bool>("deep");
        QTest::newRow("plain") << false;
        QTest::newRow("deep") << true;
    }

    void hugeLinesAreStreamedAndReportedOnce()
    {
        QFETCH(bool, deep);
        const qint64 size = 72LL << 20;   // many chunks, one line, matches across a chunk boundary
        const QString path = writeLargeFile(tree_, QStringLiteral("huge.txt"), size, 'a',
                                            {{40LL << 20, "mutex"}, {size - 5, "MUTEX"}, {(8LL << 20) - 2, "mu"},
                                             {8LL << 20, "tex"}});
        const TSearchOptions options = optionsFor(QStringLiteral("mutex"), Qt::CaseInsensitive, deep);
        const QString shown = (deep ? QStringLiteral("[US-ASCII]\t") : QString()) + QString(80, QLatin1Char('a'));
        QCOMPARE(search(options, path, "huge.txt"), (QList<TFileInfo>{{"huge.txt", 1, shown}}));

        // UTF-16 with a mark: a line of 20 M units (each "aa", U+6161), then one with the match.
        const QString wide = writeLargeFile(tree_, QStringLiteral("huge16.txt"), size, 'a',
                                            {{0, "\xff\xfe"}, {(40LL << 20) + 2, encodeWith("UTF-16LE", QStringLiteral("\n mutex"))}});
        const QString line = QStringLiteral(" mutex") + QString(74, QChar(0x6161));
        QCOMPARE(search(options, wide, "huge16.txt"),
                 (QList<TFileInfo>{{"huge16.txt", 2, deep ? QStringLiteral("[UTF-16]\t") + line : line}}));

        // A UTF-8 line of 12 MB whose match comes after characters above ASCII: decoded piece by piece.
        const QString cjk = writeLargeFile(tree_, QStringLiteral("cjk.txt"), 12LL << 20, ' ',
                                           {{0, QStringLiteral("操作系统").toUtf8()}, {(12LL << 20) - 7, "mutex\n"}});
        if (!deep)
            QCOMPARE(search(options, cjk, "cjk.txt"),
                     (QList<TFileInfo>{{"cjk.txt", 1, QStringLiteral("操作系统") + QString(76, QLatin1Char(' '))}}));
    }

    void stopRequestEndsTheSearchInsideAFile_data()
    {
        QTest::addColumn<bool>("deep");
        QTest::addColumn<bool>("random");
        QTest::newRow("plain, zeros") << false << false;
        QTest::newRow("deep, zeros") << true << false;
        QTest::newRow("deep, random bytes in one chunk") << true << true;
    }

    // The only match is at the end: a search that was not stopped would report it. Random bytes
    // read as one chunk: every pass decodes line after line, and must look at the stop request
    // while it does, not only between chunks.
    void stopRequestEndsTheSearchInsideAFile()
    {
        QFETCH(bool, deep);
        QFETCH(bool, random);
        QString path;
        if (random) {
            path = writeLargeFile(tree_, QStringLiteral("random.bin"), 40LL << 20, 0, {{(40LL << 20) - 7, "\nmutex\n"}});
        } else {
            path = tree_.path(QStringLiteral("sparse.bin"));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (!file.resize(64LL << 30))
                QSKIP("no sparse files here");
            QVERIFY(file.seek((64LL << 30) - 6));
            file.write("mutex\n");
        }
        const TSearchOptions options = optionsFor(QStringLiteral("mutex"), Qt::CaseSensitive, deep);
        ContentChunking chunking;
        if (random)
            chunking.chunkBytes = 64LL << 20;
        ContentSearch content(options, chunking);
        QList<TFileInfo> hits;
        QThread *worker = QThread::create([&] { content.search(path, hits, QStringLiteral("big")); });
        worker->start();
        QThread::msleep(300);
        QVERIFY2(worker->isRunning(), "the whole file was read before the stop");
        worker->requestInterruption();
        QVERIFY(worker->wait(120000));
        delete worker;
        QCOMPARE(hits, QList<TFileInfo>());
        QFile::remove(path);
    }

    void sameHitsAsByPath_data()
    {
        QTest::addColumn<int>("size");
        // Chunks of 16 bytes: sizes on and around one and several chunks.
        for (const int size : {0, 1, 15, 16, 17, 32, 33, 64, 70})
            QTest::newRow(qPrintable(QString::number(size))) << size;
    }
    void sameHitsAsByPath()
    {
        QFETCH(int, size);
        // "ab" ends every fifth line, so hits lie on both sides of every chunk border.
        QByteArray content;
        for (int i = 0; content.size() < size; ++i)
            content += i % 5 == 4 ? "ab\n" : "xy\n";
        content.truncate(size);
        const QString path = tree_.file(QStringLiteral("f.txt"), content);

        const TSearchOptions options = optionsFor(QStringLiteral("ab"), Qt::CaseSensitive, false);   // outlives the search
        ContentSearch search(options, ContentChunking{16, 5, 3});
        QList<TFileInfo> byPath, listed;
        search.search(path, byPath, QStringLiteral("f.txt"));
        const int dir = ::open(QFile::encodeName(tree_.root()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(dir >= 0);
        search.searchAt(dir, "f.txt", listed, QStringLiteral("f.txt"));
        ::close(dir);
        QCOMPARE(listed, byPath);
        QCOMPARE(listed.size(), int(content.count("ab")));
    }

    void whatReplacedTheFileGivesNoHit()
    {
        tree_.dir(QStringLiteral("folder"));
        QVERIFY(::mkfifo(QFile::encodeName(tree_.path(QStringLiteral("pipe"))).constData(), 0600) == 0);
        const int dir = ::open(QFile::encodeName(tree_.root()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int dev = ::open("/dev", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(dir >= 0 && dev >= 0);
        const TSearchOptions options = optionsFor(QStringLiteral("ab"), Qt::CaseSensitive, true);   // outlives the search
        ContentSearch search(options);
        QList<TFileInfo> hits;
        QElapsedTimer clock;
        clock.start();
        search.searchAt(dir, "folder", hits, QStringLiteral("folder"));
        search.searchAt(dir, "pipe", hits, QStringLiteral("pipe"));      // no writer: would block
        search.searchAt(dev, "zero", hits, QStringLiteral("zero"));      // would never end
        search.search(tree_.path(QStringLiteral("pipe")), hits, QStringLiteral("pipe"));
        search.search(QStringLiteral("/dev/zero"), hits, QStringLiteral("zero"));
        ::close(dir);
        ::close(dev);
        QVERIFY(hits.isEmpty());
        QVERIFY(clock.elapsed() < 10000);
    }

    // A deep plan holds a pass per codec; a text of 100,000 characters must still be prepared
    // at once (each pass shares the text, and keeps only a bounded pattern of its own).
    void longSearchTextsCostLittleToPrepare()
    {
        const QString text = QStringLiteral("長い検索 text ").repeated(10000);
        for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
            const TSearchOptions options = optionsFor(text, cs, true);
            const ContentPlan plan(options.grepText, cs, true, options.codecTexts);
            QVERIFY(plan.passCount() > 10);
            for (int i = 0; plan.passCount() > i; ++i)
                QVERIFY(plan.pass(i).needle.text.constData() == plan.pass(0).needle.text.constData());
        }
    // And it still finds the text, in a line of its own and inside a longer one.
        const QString path = tree_.file(QStringLiteral("long.txt"), (text + QStringLiteral("\nx") + text + QStringLiteral("y\n")).toUtf8());
        QCOMPARE(search(optionsFor(text, Qt::CaseSensitive, true), path, "long.txt").size(), 2);
        QCOMPARE(search(optionsFor(text, Qt::CaseSensitive, false), path, "long.txt").size(), 2);
    }


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
        if (name.endsWith(".pdf")) {
            tree_.file(name, manyPagePdf(500, 40));
        } else {
            const QByteArray xml = "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>"
                + QByteArray("<w:p><w:r><w:t>a paragraph</w:t></w:r></w:p>").repeated(150000) + "</w:body></w:document>";
            QVERIFY(writeZip(tree_.path(name), {ZipTestEntry{"word/document.xml", xml}}));
        }
        std::atomic<int> lines{0};
        bool finished = false;
        QStringList diagnostics;
        std::unique_ptr<QThread> reader(QThread::create([&] {
            finished = readDocument(tree_.path(name), [&](int, const QString &) {
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
private:
    TempTree tree_;
};

QTEST_GUILESS_MAIN(ContentLimitsTest)
#include "test_contentlimits.moc"
