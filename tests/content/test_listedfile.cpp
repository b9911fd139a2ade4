// A file the walk lists as regular is opened through its directory and never stat'ed unless
// its first chunk fills up: its hits must equal those of the search by path at every size
// around the chunk, and whatever has replaced it (a folder, a pipe, a device) gives no hit.

#include "content/contentsearch.h"
#include "temptree.h"
#include "walk/searchoptions.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TSearchOptions optionsFor(const QString &text)
{
    TSearchOptions options;
    options.grepText = text;
    options.caseSensitivity = Qt::CaseSensitive;
    return options;
}

QStringList linesOf(const QList<TFileInfo> &hits)
{
    QStringList lines;
    for (const TFileInfo &hit : hits)
        lines << QString::number(hit.lineNo) + QLatin1Char('|') + hit.lineText;
    return lines;
}

} // namespace

class ListedFileTest : public QObject
{
    Q_OBJECT

private slots:
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
        TempTree tree;
        // "ab" ends every fifth line, so hits lie on both sides of every chunk border.
        QByteArray content;
        for (int i = 0; content.size() < size; ++i)
            content += i % 5 == 4 ? "ab\n" : "xy\n";
        content.truncate(size);
        const QString path = tree.file(QStringLiteral("f.txt"), content);

        const TSearchOptions options = optionsFor(QStringLiteral("ab"));
        ContentSearch search(options, ContentChunking{16, 5, 3});
        QList<TFileInfo> byPath, listed;
        search.search(path, byPath, QStringLiteral("f.txt"));
        const int dir = ::open(QFile::encodeName(tree.root()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(dir >= 0);
        search.searchAt(dir, "f.txt", listed, QStringLiteral("f.txt"));
        ::close(dir);
        QCOMPARE(linesOf(listed), linesOf(byPath));
        QCOMPARE(listed.size(), int(content.count("ab")));
    }

    void whatReplacedTheFileGivesNoHit()
    {
        TempTree tree;
        tree.dir(QStringLiteral("folder"));
        QVERIFY(::mkfifo(QFile::encodeName(tree.path(QStringLiteral("pipe"))).constData(), 0600) == 0);
        const int dir = ::open(QFile::encodeName(tree.root()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int dev = ::open("/dev", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(dir >= 0 && dev >= 0);
        const TSearchOptions options = optionsFor(QStringLiteral("ab"));
        ContentSearch search(options);
        QList<TFileInfo> hits;
        QElapsedTimer clock;
        clock.start();
        search.searchAt(dir, "folder", hits, QStringLiteral("folder"));
        search.searchAt(dir, "pipe", hits, QStringLiteral("pipe"));      // no writer: would block
        search.searchAt(dev, "zero", hits, QStringLiteral("zero"));      // would never end
        ::close(dir);
        ::close(dev);
        QVERIFY(hits.isEmpty());
        QVERIFY(clock.elapsed() < 10000);
    }
};

QTEST_GUILESS_MAIN(ListedFileTest)
#include "test_listedfile.moc"
