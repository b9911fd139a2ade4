// The walk's single-read lister must give exactly what QDir gives for the three listings of a
// directory, in the order the file system gives them.

#include "batchrecorder.h"
#include "walk/dirlisting.h"
#include "walk/wildcard.h"
#include "temptree.h"

#include <QDirIterator>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The names QDir can see: those that decode faithfully.
QStringList names(const DirListing &listing, const std::vector<const DirListing::Entry *> &entries)
{
    QStringList result;
    for (const DirListing::Entry *e : entries) {
        if (e->decodable)
            result.append(listing.name(*e));
    }
    return result;
}

} // namespace

class DirListingTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (const char *dir : {"dir", ".hiddendir", "Folder.ZIP"})
            tree.dir(QString::fromUtf8(dir));
        for (const char *file : {"file.txt", ".hidden.txt", "a.ZIP", "b.rar", "c.Rar.bak", "[x].txt", "x].txt",
                                 "back\\slash", "star*name", "q?mark", "中文文件.doc", "Ärger.TXT", "kelvin\u212A.txt",
                                 "long\u017Fs.txt", "with space .txt"})
            tree.file(QString::fromUtf8(file));
        for (const auto &[link, target] : {std::pair{"linkdir", "dir"}, {"linkfile.txt", "file.txt"}, {"linkzip.zip", "a.ZIP"},
                                           {"broken", "nowhere"}, {"linkhidden", ".hiddendir"}, {"linknull", "/dev/null"},
                                           {"linkfifo", "fifo"}})
            tree.link(QString::fromUtf8(link), QString::fromUtf8(target));
        QVERIFY(mkfifo(QFile::encodeName(tree.path("fifo")).constData(), 0600) == 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(tree.path("socket")).constData(), sizeof address.sun_path);
        const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(bind(socketFd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        close(socketFd);
        // A name that is not UTF-8: invisible to QDir, listed by us and marked.
        badName = QFile::encodeName(tree.root()) + "/bad\xff\xfename";
        FILE *f = fopen(badName.constData(), "w");
        QVERIFY(f);
        fclose(f);
    }

    void cleanupTestCase()
    {
        QCOMPARE(unlink(badName.constData()), 0);   // QTemporaryDir cannot see it to remove it
    }

    void listingsEqualQDir_data()
    {
        QTest::addColumn<QStringList>("filters");
        QTest::newRow("everything") << QStringList{"*"};
        QTest::newRow("contains txt") << QStringList{"**.txt*"};
        QTest::newRow("brackets") << QStringList{"[x]*", "*[[]x*", "x]*"};
        QTest::newRow("question mark") << QStringList{"?ile.txt", "q?mark"};
        QTest::newRow("backslash and star") << QStringList{"*\\*", "star*"};
        QTest::newRow("case") << QStringList{"*ärger*", "A.zip", "FILE.TXT"};
        QTest::newRow("non-ascii") << QStringList{"*中文*", "*K*", "*S.TXT"};
        QTest::newRow("exact") << QStringList{"dir", "Folder.zip"};
        QTest::newRow("blank") << QStringList{"* .txt"};
    }

    void listingsEqualQDir()
    {
        QFETCH(QStringList, filters);
        const QDir dir(tree.root());
        const DirListing listing = DirListing::read(QFile::encodeName(tree.root()).toStdString());
        QVERIFY(listing.isReadable());
        QCOMPARE(std::count_if(listing.entries().begin(), listing.entries().end(),
                               [](const DirListing::Entry &e) { return !e.decodable; }), 1);
        const auto plain = QDir::NoSymLinks | QDir::NoDotAndDotDot;
        QCOMPARE(sorted(names(listing, listing.subdirectories())),
                 sorted(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort)));
        QCOMPARE(sorted(names(listing, listing.archivePassEntries())),
                 sorted(dir.entryList({"*.rar", "*.zip"}, QDir::Files | plain, QDir::NoSort)));
        // Name matches in the order of an unsorted directory iterator.
        QStringList iteratorOrder;
        QDirIterator it(tree.root(), filters, QDir::Dirs | QDir::Files | plain);
        while (it.hasNext())
            iteratorOrder.append(QFileInfo(it.next()).fileName());
        QCOMPARE(names(listing, listing.filePassEntries(NameMatcher(filters))), iteratorOrder);
    }

    void unreadableDirectoryListsEmpty()
    {
        const DirListing missing = DirListing::read(QFile::encodeName(tree.path("no-such-dir")).toStdString());
        QVERIFY(!missing.isReadable());
        QVERIFY(missing.entries().empty());
        // A FIFO is never opened as a directory (it would block).
        QVERIFY(!DirListing::read(QFile::encodeName(tree.path("fifo")).toStdString()).isReadable());
    }

private:
    TempTree tree;
    QByteArray badName;
};

QTEST_GUILESS_MAIN(DirListingTest)
#include "test_dirlisting.moc"
