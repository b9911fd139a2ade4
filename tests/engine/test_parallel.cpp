// A search on several threads gives the batches of the same search on one thread, in the same
// order, and a stop ends every thread.
#include "batchrecorder.h"
#include "temptree.h"
#include "ziptestwriter.h"

#include <cstdio>
#include <unistd.h>

namespace {

enum Flags { IgnoreCase = 1, Deep = 2, Flat = 4 };

// A directory with very many hits may leave in several batches; where it splits is not fixed.
QList<Batch> joined(const QList<Batch> &batches)
{
    QList<Batch> result;
    for (const Batch &b : batches) {
        if (!result.isEmpty() && result.last().dirName == b.dirName)
            result.last().hits += b.hits;
        else
            result.append(b);
    }
    return result;
}

void compareBatches(const QList<Batch> &actual, const QList<Batch> &expected)
{
    const QList<Batch> a = joined(actual), e = joined(expected);
    QCOMPARE(a.size(), e.size());
    for (qsizetype i = 0; i < a.size(); ++i) {
        QCOMPARE(a.at(i).dirName, e.at(i).dirName);
        QCOMPARE(a.at(i).hits, e.at(i).hits);
    }
}

int threadsOfProcess()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

class ParallelTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Subtrees of uneven weight, links that the order of the walk decides, names that are not
        // valid UTF-8, archives, a directory of many parts and one past the batch bound.
        for (int d = 0; d < 12; ++d) {
            const QString dir = QStringLiteral("G/d%1/").arg(d);
            for (int f = 0; f < d * 3; ++f)
                tree_.file(dir + QStringLiteral("f%1.txt").arg(f),
                           QByteArray("x\n").repeated(f) + "a needle here\nNEEDLE again\nnone\n");
            for (int s = 0; s < d % 4; ++s)
                tree_.file(dir + QStringLiteral("s%1/deep/t.log").arg(s), "needle deep\n");
            if (d % 3 == 0) {
                QVERIFY(writeZip(tree_.dir(dir) + "/pack.zip",
                                 {{"in/one.txt", "needle inside\n"}, {"two.log", "no\nneedle two\n"}}));
            }
        }
        tree_.link("G/d1/toLater", "../d9");     // entered here: d9 comes later
        tree_.link("G/d10/toEarlier", "../d2");  // left: d2 came earlier
        tree_.link("G/d11/loop", "..");          // a cycle
        tree_.link("G/d5/s0/toS1", "../s1");
        for (int f = 0; f < 60; ++f)
            tree_.file(QStringLiteral("G/wide/w%1.txt").arg(f), f % 7 ? "plain\n" : "needle wide\n");
        tree_.dir("G/many");
        for (int f = 0; f < 10050; ++f)
            QFile(tree_.path(QStringLiteral("G/many/m%1").arg(f))).open(QIODevice::WriteOnly);
        const QByteArray odd = QFile::encodeName(tree_.dir("G/odd")) + "/bad\xff.txt";
        FILE *file = fopen(odd.constData(), "w");
        QVERIFY(file);
        fputs("needle odd\n", file);
        fclose(file);
        tree_.dir("tmp");
    }

    void sameBatchesAsOneThread_data()
    {
        QTest::addColumn<QStringList>("roots");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("flags");
        const QStringList roots{tree_.path("G"), tree_.path("G/d4")};   // the second: searched already
        QTest::newRow("names") << roots << "*" << "" << 0;
        QTest::newRow("names of text files") << roots << "*.txt" << "" << 0;
        QTest::newRow("text") << roots << "*" << "needle" << 0;
        QTest::newRow("text, any case") << roots << "*" << "NEEDLE" << int(IgnoreCase);
        QTest::newRow("deep text") << QStringList{tree_.path("G/d7"), tree_.path("G/d9")} << "*" << "needle" << int(Deep);
        QTest::newRow("roots alone") << QStringList{tree_.path("G/d6"), tree_.path("G/wide")} << "*" << "needle" << int(Flat);
    #ifdef QUORVEL_SANITIZED
        const QString real = QStringLiteral("/usr/include/linux");   // a sample: the sanitizer is slow
    #else
        const QString real = QStringLiteral("/usr/include");
    #endif
        QTest::newRow("real tree, names") << QStringList{real} << "*.h" << "" << 0;
        QTest::newRow("real tree, text") << QStringList{real} << "*" << "struct stat" << int(IgnoreCase);
    }

    void sameBatchesAsOneThread()
    {
        QFETCH(QStringList, roots);
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(int, flags);
        if (!QFileInfo(roots.first()).isDir())
            QSKIP("no /usr/include on this system");
        QList<QDir> dirs;
        for (const QString &root : roots)
            dirs.append(QDir(root));
        const auto search = [&](int workers) {
            return runSearch(dirs, {pattern}, !(flags & Flat), false, text, tree_.path("tmp"), workers,
                             flags & IgnoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive, flags & Deep);
        };
        const QList<Batch> one = search(1);
        QVERIFY(!one.isEmpty());
        for (const int workers : {2, 4})
            compareBatches(search(workers), one);
    }

    void stopEndsEveryWorker()
    {
        // A 2 GB file (sparse) searched in every codec, beside directories that keep the others busy.
        TempTree tree;
        QFile big(tree.file("S/big.bin"));
        QVERIFY(big.open(QIODevice::ReadWrite) && big.resize(qint64(2) << 30));
        big.close();
        for (int f = 0; f < 200; ++f)
            tree.file(QStringLiteral("S/a/b%1/f.txt").arg(f), QByteArray("no needle\n").repeated(100));
        const int threadsBefore = threadsOfProcess();
        searchThread worker;
        worker.setSearchParam({QDir(tree.path("S"))}, {"*"}, "needle", Qt::CaseSensitive, true, false, true);
        worker.setTempDir(tree.dir("tmp"));
        worker.setWorkerCount(4);
        std::atomic<bool> stopped{false};
        std::atomic<int> late{0};
        QObject::connect(&worker, &searchThread::PushGotFiles, &worker, [&] { late += stopped ? 1 : 0; },
                         Qt::DirectConnection);
        worker.start();
        QTest::qWait(300);
        QVERIFY(worker.isRunning());
        worker.stopSearch();
        stopped = true;   // after: a batch already on its way when the stop came is no fault
        QVERIFY(worker.wait(20000));
        QCOMPARE(late.load(), 0);
        QTRY_COMPARE(threadsOfProcess(), threadsBefore);
    }

    void cleanupTestCase()
    {
        // QDir cannot remove a name it cannot decode.
        ::unlink((QFile::encodeName(tree_.path("G/odd")) + "/bad\xff.txt").constData());
    }

private:
    TempTree tree_;
};

QTEST_GUILESS_MAIN(ParallelTest)
#include "test_parallel.moc"
