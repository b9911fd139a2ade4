// Files no line-by-line reader could take: a line longer than any buffer, a file larger than
// the search can finish before it is stopped, and things that are no files at all.

#include "contentcorpus.h"
#include "content/grepfile.h"
#include "walk/searchoptions.h"
#include "walk/searchthread.h"
#include "temptree.h"

#include <QFile>
#include <QTest>
#include <QThread>

#include <sys/stat.h>

class ContentLimitsTest : public QObject
{
    Q_OBJECT

private slots:
    void matchInsideAHugeLineIsReportedOnce_data();
    void matchInsideAHugeLineIsReportedOnce();
    void decodedHugeLineIsStreamed();
    void stopRequestEndsTheSearchInsideAFile_data();
    void stopRequestEndsTheSearchInsideAFile();
    void pipesAndDevicesAreNotRead();

private:
    TempTree tree_;
};

namespace {

TSearchOptions optionsFor(const QString &text, bool deep, Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    searchThread worker;
    worker.setSearchParam({}, {QStringLiteral("*")}, text, cs, true, false, deep);
    return worker.searchOptions();
}

// Writes `size` bytes of `fill` with `insert` at the given offsets, without holding them all.
QString writeLargeFile(TempTree &tree, const QString &name, qint64 size, char fill,
                       const QList<QPair<qint64, QByteArray>> &inserts)
{
    const QString path = tree.file(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    const QByteArray block(1 << 20, fill);
    for (qint64 written = 0; written < size;) {
        const qint64 n = std::min<qint64>(block.size(), size - written);
        file.write(block.constData(), n);
        written += n;
    }
    for (const auto &insert : inserts) {
        file.seek(insert.first);
        file.write(insert.second);
    }
    return path;
}

} // namespace

void ContentLimitsTest::matchInsideAHugeLineIsReportedOnce_data()
{
    QTest::addColumn<bool>("deep");
    QTest::newRow("plain") << false;
    QTest::newRow("deep") << true;
}

void ContentLimitsTest::matchInsideAHugeLineIsReportedOnce()
{
    QFETCH(bool, deep);
    const qint64 size = 72LL << 20;   // many chunks, one line
    const QString path = writeLargeFile(tree_, QStringLiteral("huge.txt"), size, 'a',
                                        {{40LL << 20, "mutex"}, {size - 5, "MUTEX"}, {(8LL << 20) - 2, "mu"},
                                         {8LL << 20, "tex"}});
    const TSearchOptions options = optionsFor(QStringLiteral("mutex"), deep, Qt::CaseInsensitive);
    QList<TFileInfo> hits;
    grepFile(&options, path, hits, QStringLiteral("huge.txt"));
    const QString shown = (deep ? QStringLiteral("[US-ASCII]\t") : QString()) + QString(80, QLatin1Char('a'));
    QCOMPARE(hits, (QList<TFileInfo>{{"huge.txt", 1, shown}}));

    // UTF-16 with a mark: a line of 20 M units (each "aa", U+6161), then one with the match.
    const QString wide = writeLargeFile(tree_, QStringLiteral("huge16.txt"), size, 'a',
                                        {{0, "\xff\xfe"}, {(40LL << 20) + 2, encodeWith("UTF-16LE", QStringLiteral("\n mutex"))}});
    hits.clear();
    grepFile(&options, wide, hits, QStringLiteral("huge16.txt"));
    const QString line = QStringLiteral(" mutex") + QString(74, QChar(0x6161));
    QCOMPARE(hits, (QList<TFileInfo>{{"huge16.txt", 2, deep ? QStringLiteral("[UTF-16]\t") + line : line}}));
}

void ContentLimitsTest::decodedHugeLineIsStreamed()
{
    // A UTF-8 line of 12 MB whose match comes after characters above ASCII: it must be decoded
    // from its start, piece by piece.
    const qint64 size = 12LL << 20;
    const QString path = writeLargeFile(tree_, QStringLiteral("cjk.txt"), size, ' ',
                                        {{0, QStringLiteral("操作系统").toUtf8()}, {size - 7, "mutex\n"}});
    const TSearchOptions options = optionsFor(QStringLiteral("mutex"), false);
    QList<TFileInfo> hits;
    grepFile(&options, path, hits, QStringLiteral("cjk.txt"));
    QCOMPARE(hits, (QList<TFileInfo>{{"cjk.txt", 1, QStringLiteral("操作系统") + QString(76, QLatin1Char(' '))}}));
}

void ContentLimitsTest::stopRequestEndsTheSearchInsideAFile_data()
{
    matchInsideAHugeLineIsReportedOnce_data();
}

void ContentLimitsTest::stopRequestEndsTheSearchInsideAFile()
{
    QFETCH(bool, deep);
    // A sparse file far larger than can be read before the stop; its only match is at the end.
    const QString path = tree_.path(QStringLiteral("sparse.bin"));
    const qint64 size = 64LL << 30;
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!file.resize(size))
            QSKIP("no sparse files here");
        QVERIFY(file.seek(size - 6));
        file.write("mutex\n");
    }
    const TSearchOptions options = optionsFor(QStringLiteral("mutex"), deep);
    QList<TFileInfo> hits;
    QThread *worker = QThread::create([&] { grepFile(&options, path, hits, QStringLiteral("sparse.bin")); });
    worker->start();
    QThread::msleep(300);
    QVERIFY2(worker->isRunning(), "the whole file was read before the stop");
    worker->requestInterruption();
    QVERIFY(worker->wait(120000));
    delete worker;
    QVERIFY(hits.isEmpty());
    QFile::remove(path);
}

void ContentLimitsTest::pipesAndDevicesAreNotRead()
{
    const TSearchOptions options = optionsFor(QStringLiteral("mutex"), true);
    const QString fifo = tree_.path(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QList<TFileInfo> hits;
    grepFile(&options, fifo, hits, QStringLiteral("pipe"));   // would block on a writer
    grepFile(&options, QStringLiteral("/dev/zero"), hits, QStringLiteral("zero"));   // would never end
    QVERIFY(hits.isEmpty());
}

QTEST_GUILESS_MAIN(ContentLimitsTest)
#include "test_contentlimits.moc"
