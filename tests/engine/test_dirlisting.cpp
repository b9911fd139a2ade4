#include "walk/dirlisting.h"
#include "walk/mounttable.h"
#include "walk/wildcard.h"
#include "temptree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

// The walk's single-read lister must give exactly what QDir::entryList gives for the three
// listings of a directory.
class DirListingTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void listingsEqualQDir_data();
    void listingsEqualQDir();
    void unreadableDirectoryListsEmpty();
    void mountInfoIsParsed();
    void procIsPseudoAndTempIsNot();

private:
    TempTree tree;
};

namespace {

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

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

void makeSocket(const QString &path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    qstrncpy(address.sun_path, bytes.constData(), sizeof address.sun_path);
    QVERIFY(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
    close(fd);
}

} // namespace

void DirListingTest::initTestCase()
{
    QVERIFY(tree.isValid());
    tree.dir(QStringLiteral("dir"));
    tree.dir(QStringLiteral(".hiddendir"));
    tree.dir(QStringLiteral("Folder.ZIP"));
    tree.file(QStringLiteral("file.txt"));
    tree.file(QStringLiteral(".hidden.txt"));
    tree.file(QStringLiteral("a.ZIP"));
    tree.file(QStringLiteral("b.rar"));
    tree.file(QStringLiteral("c.Rar.bak"));
    tree.file(QStringLiteral("[x].txt"));
    tree.file(QStringLiteral("x].txt"));
    tree.file(QStringLiteral("back\\slash"));
    tree.file(QStringLiteral("star*name"));
    tree.file(QStringLiteral("q?mark"));
    tree.file(QStringLiteral("中文文件.doc"));
    tree.file(QStringLiteral("Ärger.TXT"));
    tree.file(QStringLiteral("kelvin\u212A.txt"));
    tree.file(QStringLiteral("long\u017Fs.txt"));
    tree.file(QStringLiteral("with space .txt"));
    tree.link(QStringLiteral("linkdir"), QStringLiteral("dir"));
    tree.link(QStringLiteral("linkfile.txt"), QStringLiteral("file.txt"));
    tree.link(QStringLiteral("linkzip.zip"), QStringLiteral("a.ZIP"));
    tree.link(QStringLiteral("broken"), QStringLiteral("nowhere"));
    tree.link(QStringLiteral("linkhidden"), QStringLiteral(".hiddendir"));
    tree.link(QStringLiteral("linknull"), QStringLiteral("/dev/null"));
    QVERIFY(mkfifo(QFile::encodeName(tree.path(QStringLiteral("fifo"))).constData(), 0600) == 0);
    tree.link(QStringLiteral("linkfifo"), QStringLiteral("fifo"));
    makeSocket(tree.path(QStringLiteral("socket")));
    // A name that is not UTF-8: invisible to QDir, listed by us and marked.
    const QByteArray badName = QFile::encodeName(tree.root()) + "/bad\xff\xfename";
    FILE *f = fopen(badName.constData(), "w");
    QVERIFY(f);
    fclose(f);
}

void DirListingTest::cleanupTestCase()
{
    // QTemporaryDir cannot see this name to remove it.
    QCOMPARE(unlink(QFile::encodeName(tree.root()) + "/bad\xff\xfename"), 0);
}

void DirListingTest::listingsEqualQDir_data()
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

void DirListingTest::listingsEqualQDir()
{
    QFETCH(QStringList, filters);
    const QDir dir(tree.root());
    const DirListing listing = DirListing::read(QFile::encodeName(tree.root()).toStdString());
    QVERIFY(listing.isReadable());
    int undecodable = 0;
    for (const DirListing::Entry &e : listing.entries())
        undecodable += e.decodable ? 0 : 1;
    QCOMPARE(undecodable, 1);

    QCOMPARE(sorted(names(listing, listing.subdirectories())),
             sorted(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort)));
    QCOMPARE(sorted(names(listing, listing.filePassEntries(NameMatcher(filters)))),
             sorted(dir.entryList(filters, QDir::Dirs | QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot,
                                  QDir::NoSort)));
    QCOMPARE(sorted(names(listing, listing.archivePassEntries())),
             sorted(dir.entryList({"*.rar", "*.zip"}, QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot,
                                  QDir::NoSort)));
    // Unsorted: the order the file system gives, as an unsorted directory iterator sees it.
    QStringList iteratorOrder;
    QDirIterator it(tree.root(), filters, QDir::Dirs | QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    while (it.hasNext())
        iteratorOrder.append(QFileInfo(it.next()).fileName());
    QCOMPARE(names(listing, listing.filePassEntries(NameMatcher(filters))), iteratorOrder);
}

void DirListingTest::unreadableDirectoryListsEmpty()
{
    const DirListing missing = DirListing::read(QFile::encodeName(tree.path("no-such-dir")).toStdString());
    QVERIFY(!missing.isReadable());
    QVERIFY(missing.entries().empty());
    // A FIFO is never opened as a directory (it would block).
    const DirListing fifo = DirListing::read(QFile::encodeName(tree.path("fifo")).toStdString());
    QVERIFY(!fifo.isReadable());
}

void DirListingTest::mountInfoIsParsed()
{
    const QByteArray info =
        "22 28 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n"
        "28 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "25 28 0:5 / /dev rw,nosuid shared:2 - devtmpfs udev rw,size=10k\n"
        "26 25 0:23 / /dev/shm rw shared:4 - tmpfs tmpfs rw\n";
    const MountTable table = MountTable::fromMountInfo(info);
    QVERIFY(table.isPseudoFileSystem(makedev(0, 21), -1));
    QVERIFY(table.isPseudoFileSystem(makedev(0, 5), -1));
    QVERIFY(!table.isPseudoFileSystem(makedev(8, 1), -1));
    QVERIFY(!table.isPseudoFileSystem(makedev(0, 23), -1));
}

void DirListingTest::procIsPseudoAndTempIsNot()
{
    const MountTable table = MountTable::load();
    for (const QByteArray &path : {QByteArray("/proc"), QFile::encodeName(tree.root())}) {
        const int fd = open(path.constData(), O_RDONLY | O_DIRECTORY);
        struct stat st;
        QVERIFY(fstat(fd, &st) == 0);
        QCOMPARE(table.isPseudoFileSystem(st.st_dev, fd), path == "/proc");
        close(fd);
    }
}

QTEST_GUILESS_MAIN(DirListingTest)
#include "test_dirlisting.moc"
