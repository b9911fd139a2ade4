#include "walk/dirlisting.h"
#include "walk/mounttable.h"
#include "walk/namefilter.h"
#include "temptree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

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
    void listingsEqualQDir_data();
    void listingsEqualQDir();
    void asciiGlobAgreesWithWildcardExpressions();
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

QStringList names(const DirListing &listing, const std::vector<const DirListing::Entry *> &entries)
{
    QStringList result;
    for (const DirListing::Entry *e : entries)
        result.append(listing.name(*e));
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
    // A name that is not UTF-8: invisible to QDir.
    const QByteArray badName = QFile::encodeName(tree.root()) + "/bad\xff\xfename";
    FILE *f = fopen(badName.constData(), "w");
    QVERIFY(f);
    fclose(f);
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

    QCOMPARE(sorted(names(listing, listing.subdirectories())),
             sorted(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort)));
    QCOMPARE(sorted(names(listing, listing.filePassEntries(NameFilter(filters)))),
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
    QCOMPARE(names(listing, listing.filePassEntries(NameFilter(filters))), iteratorOrder);
}

void DirListingTest::asciiGlobAgreesWithWildcardExpressions()
{
    // The byte-level fast path against the wildcard conversion QDir uses.
    const char alphabet[] = "abAB.*xX-_0";
    auto *random = QRandomGenerator::global();
    for (int round = 0; round < 20000; ++round) {
        QString pattern, name;
        for (int i = int(random->bounded(6)); i >= 0; --i)
            pattern += QLatin1Char(alphabet[random->bounded(int(sizeof alphabet) - 1)]);
        for (int i = int(random->bounded(8)); i > 0; --i)
            name += QLatin1Char(alphabet[random->bounded(int(sizeof alphabet) - 2)]);   // no '*' in names
        const bool expected = QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive).match(name).hasMatch();
        const std::string bytes = name.toStdString();
        QVERIFY2(asciiGlobMatch(bytes.data(), bytes.size(), pattern.toLower().toStdString()) == expected,
                 qPrintable(pattern + QLatin1String(" / ") + name));
    }
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
    QVERIFY(table.isPseudoFileSystem(makedev(0, 21), "/nonexistent"));
    QVERIFY(table.isPseudoFileSystem(makedev(0, 5), "/nonexistent"));
    QVERIFY(!table.isPseudoFileSystem(makedev(8, 1), "/nonexistent"));
    QVERIFY(!table.isPseudoFileSystem(makedev(0, 23), "/nonexistent"));
}

void DirListingTest::procIsPseudoAndTempIsNot()
{
    const MountTable table = MountTable::load();
    struct stat st;
    QVERIFY(stat("/proc", &st) == 0);
    QVERIFY(table.isPseudoFileSystem(st.st_dev, "/proc"));
    QVERIFY(stat(QFile::encodeName(tree.root()).constData(), &st) == 0);
    QVERIFY(!table.isPseudoFileSystem(st.st_dev, QFile::encodeName(tree.root()).constData()));
}

QTEST_GUILESS_MAIN(DirListingTest)
#include "test_dirlisting.moc"
