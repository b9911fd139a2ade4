// Archives read through libarchive (7z, tar kinds, ISO, CAB, LHA, cpio, single compressed
// files), archives inside archives (a RAR's too), entries searched in memory, the expansion
// limits and the stop, with fixtures made by the tools Debian ships (7zip, tar, gzip, bzip2, xz,
// zstd, xorriso, gcab, cpio, zip) or written here.
#include "archivetesthelpers.h"
#include "archive/gzipinput.h"
#include "archive/regularfile.h"
#include "content/grepfile.h"
#include "walk/searchthread.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QThread>
#include <QtTest>

#include <cstring>
#include <memory>
#include <numeric>

#include <zlib.h>

namespace {

const QByteArray noteText = "hello 世界 needle\n";

// Runs a tool in `dir`; the reason when it is missing or fails, else an empty text.
QString runTool(const QString &dir, const QString &program, const QStringList &args, const QString &stdoutFile = {})
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return program + " is not installed";
    QProcess process;
    process.setWorkingDirectory(dir);
    if (!stdoutFile.isEmpty())
        process.setStandardOutputFile(stdoutFile);
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return program + " failed: " + QString::fromLocal8Bit(process.readAllStandardError());
    return QString();
}

// One gzip member holding `data`; with `named`, its header carries a name, a comment, an extra
// field and its own check sum.
QByteArray gzipped(const QByteArray &data, bool named = false)
{
    z_stream z = {};
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    char name[] = "note.txt", comment[] = "a comment";
    Bytef extra[] = {'a', 'b', 2, 0, 'x', 'y'};
    gz_header header = {};
    header.name = reinterpret_cast<Bytef *>(name);
    header.comment = reinterpret_cast<Bytef *>(comment);
    header.extra = extra;
    header.extra_len = sizeof extra;
    header.hcrc = 1;
    if (named)
        deflateSetHeader(&z, &header);
    QByteArray out(int(deflateBound(&z, uLong(data.size()))) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    out.truncate(deflate(&z, Z_FINISH) == Z_STREAM_END ? int(z.total_out) : 0);
    deflateEnd(&z);
    return out;
}

// An LHA archive of stored ("-lh0-") entries, headers of level 0 and 1 in turn, written by
// hand: Debian ships no LHA writer.
QByteArray lhaArchive(const QList<std::pair<QByteArray, QByteArray>> &entries)
{
    QByteArray archive;
    for (int level = 0; level < entries.size(); ++level) {
        const auto &[name, data] = entries[level];
        quint16 crc = 0;   // CRC-16/ARC of the data
        for (const char c : data)
            for (int bit = 0, in = uchar(c); bit < 8; ++bit, in >>= 1)
                crc = (crc ^ in) & 1 ? (crc >> 1) ^ 0xA001 : crc >> 1;
        const quint32 fields[] = {qToLittleEndian(quint32(data.size())), qToLittleEndian(quint32(data.size())), 0x5A210000};
        QByteArray header = "-lh0-" + QByteArray(reinterpret_cast<const char *>(fields), 12) + '\x20' + char(level % 2)
            + char(name.size()) + name + char(crc) + char(crc >> 8) + (level % 2 ? QByteArray("U\0\0", 3) : QByteArray());
        const int sum = std::accumulate(header.begin(), header.end(), 0, [](int s, char c) { return s + uchar(c); });
        archive += char(header.size()) + QByteArray(1, char(sum)) + header + data;
    }
    return archive + '\0';
}

} // namespace

class TestOtherArchives : public QObject
{
    Q_OBJECT

    TempTree tree;
    const QString src = tree.dir("src"), out = tree.dir("out"), tmp = tree.dir("tmp");

    // Makes `name` in the output folder from the source tree, or skips the test.
#define MAKE_OR_SKIP(name, program, ...)                                                             \
    do {                                                                                             \
        const QString why = QFile::exists(out + '/' + (name)) ? QString() : runTool(src, program, __VA_ARGS__); \
        if (!why.isEmpty())                                                                          \
            QSKIP(qPrintable(why));                                                                  \
    } while (false)

private slots:
    void initTestCase()
    {
        tree.file("src/docs/note.txt", noteText);
        tree.file("src/中文名.txt", "第一行\n你好 needle 中文\n");
        tree.file("out/b.lzh", lhaArchive({{"docs/note.txt", noteText}, {"中文名.txt", "第一行\n你好 needle 中文\n"}}));
    }

    // A stop request ends even the reading of one huge entry: a tar.gz whose first entry is
    // 16 GB of zeros (a header and 16384 gzip members of 1 MB each), passed over by a name search.
    // First, and made without a tool: the thread sanitizer refuses a thread after a fork.
    void stopInsideEntry()
    {
        QByteArray header(512, '\0');
        const auto put = [&](int at, const QByteArray &text) { memcpy(header.data() + at, text.constData(), text.size()); };
        for (const auto &[at, text] : {std::pair{0, "huge.bin"}, {100, "0000644"}, {108, "0000000"}, {116, "0000000"},
                                       {136, "00000000000"}, {148, "        0"}, {257, "ustar"}, {263, "00"}})
            put(at, text);
        put(124, QByteArray("\x80\0\0\0\0\0\0\x04", 8));   // the size in binary: 2^34
        int sum = 0;
        for (const char c : header)
            sum += uchar(c);
        put(148, QByteArray::number(sum, 8).rightJustified(6, '0'));
        QFile big(tree.dir("stop") + "/huge.tar.gz");
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(gzipped(header));
        const QByteArray member = gzipped(QByteArray(1 << 20, '\0'));
        for (int i = 0; i < 16384; ++i)
            big.write(member);
        big.close();
        ArchiveSearch names({"*"}, QString(), tmp);
        names.options.archiveLimits.maxEntryBytes = names.options.archiveLimits.maxRatio = qint64(1) << 40;
        std::unique_ptr<QThread> worker(QThread::create([&] { names.run(big.fileName()); }));
        worker->start();
        QThread::msleep(300);
        QVERIFY(worker->isRunning());
        worker->requestInterruption();
        QVERIFY(worker->wait(5000));
    }

    // Every kind: the entries' names, and their lines with the right names (CJK included).
    void kinds_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        const QStringList both{"docs/note.txt", "中文名.txt"};
        const auto tar = [&](const char *option, const QString &name) { return QStringList{option, "-cf", out + '/' + name} + both; };
        QTest::newRow("7z") << "backup.7z" << "7zz" << (QStringList{"a", "-bd", out + "/backup.7z"} + both);
        QTest::newRow("tar") << "b.tar" << "tar" << (QStringList{"-cf", out + "/b.tar"} + both);
        QTest::newRow("tar.gz") << "b.tar.gz" << "tar" << tar("-z", "b.tar.gz");
        QTest::newRow("tgz upper") << "B.TGZ" << "tar" << tar("-z", "B.TGZ");
        QTest::newRow("tar.bz2") << "b.tar.bz2" << "tar" << tar("-j", "b.tar.bz2");
        QTest::newRow("txz") << "b.txz" << "tar" << tar("-J", "b.txz");
        QTest::newRow("tar.zst") << "b.tar.zst" << "tar" << tar("--zstd", "b.tar.zst");
        QTest::newRow("iso") << "b.iso" << "xorriso" << QStringList{"-as", "mkisofs", "-quiet", "-J", "-R", "-o", out + "/b.iso", "."};
        QTest::newRow("cab") << "b.cab" << "gcab" << (QStringList{"-c", out + "/b.cab"} + both);
        QTest::newRow("lzh, made here") << "b.lzh" << QString() << QStringList();
        QTest::newRow("cpio") << "b.cpio" << "sh"
                              << QStringList{"-c", "printf 'docs\\ndocs/note.txt\\n中文名.txt\\n' | cpio -o -H newc > " + out + "/b.cpio"};
    }
    void kinds()
    {
        QFETCH(QString, archive);
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        MAKE_OR_SKIP(archive, program, args);
        const QString path = out + '/' + archive;
        QCOMPARE(hitTexts(ArchiveSearch({"*.txt"}, QString(), tmp).run(path)), (QStringList{archive + "/docs/note.txt", archive + "/中文名.txt"}));
        ArchiveSearch content({"*"}, "needle", tmp);
        QCOMPARE(hitTexts(content.run(path)),
                 (QStringList{archive + "/docs/note.txt:1:hello 世界 needle", archive + "/中文名.txt:2:你好 needle 中文"}));
        QCOMPARE(content.messages(), QByteArray());
    }

    // A compressed file is one entry, named without the suffix.
    void singleFiles_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("gz") << "gzip" << "gz";
        QTest::newRow("bz2") << "bzip2" << "bz2";
        QTest::newRow("xz") << "xz" << "xz";
        QTest::newRow("zst") << "zstd" << "zst";
    }
    void singleFiles()
    {
        QFETCH(QString, program);
        QFETCH(QString, suffix);
        const QString name = "notes.txt." + suffix;
        MAKE_OR_SKIP(name, program, {"-c", "docs/note.txt"}, out + '/' + name);
        QCOMPARE(hitTexts(ArchiveSearch({"notes.txt"}).run(out + '/' + name)), QStringList{name + "/notes.txt"});
        QCOMPARE(hitTexts(ArchiveSearch({"*"}, "needle", tmp).run(out + '/' + name)), QStringList{name + "/notes.txt:1:hello 世界 needle"});
        // Not compressed at all: said once, nothing found.
        ArchiveSearch fake({"*"}, "needle", tmp);
        QCOMPARE(fake.run(tree.file("plain/fake." + suffix, noteText)), QList<TFileInfo>());
        QCOMPARE(fake.messages().count('\n'), 1);
        // An empty file compressed is an empty entry, not a damaged archive.
        tree.file("src/empty.txt", QByteArray());
        MAKE_OR_SKIP("empty." + suffix, program, {"-c", "empty.txt"}, out + "/empty." + suffix);
        ArchiveSearch empty({"*"}, "needle", tmp);
        QCOMPARE(empty.run(out + "/empty." + suffix), QList<TFileInfo>());
        QCOMPARE(empty.messages(), QByteArray());
    }

    // a.zip/b.tar.gz/d.7z/c/e.txt is read; an archive a level deeper is only named.
    void nesting()
    {
        const QString n = tree.dir("nest");
        tree.file("nest/l4/g.txt", "too deep needle\n");
        tree.file("nest/l3/c/e.txt", "deep needle\n");
        tree.file("nest/l2/m.txt", "mid needle\n");
        QString why = runTool(n + "/l4", "tar", {"-czf", n + "/l3/f.tgz", "g.txt"});
        why = why.isEmpty() ? runTool(n + "/l3", "7zz", {"a", "-bd", n + "/l2/d.7z", "c", "f.tgz"}) : why;
        why = why.isEmpty() ? runTool(n + "/l2", "tar", {"-czf", n + "/b.tar.gz", "m.txt", "d.7z"}) : why;
        why = why.isEmpty() ? runTool(n, "zip", {"-q", "a.zip", "b.tar.gz"}) : why;
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        QCOMPARE(hitTexts(ArchiveSearch({"*needle*", "*.txt", "*.tgz"}, QString(), tmp).run(n + "/a.zip")),
                 (QStringList{"a.zip/b.tar.gz/d.7z/c/e.txt", "a.zip/b.tar.gz/d.7z/f.tgz", "a.zip/b.tar.gz/m.txt"}));
        QCOMPARE(hitTexts(ArchiveSearch({"*"}, "needle", tmp).run(n + "/a.zip")),
                 (QStringList{"a.zip/b.tar.gz/d.7z/c/e.txt:1:deep needle", "a.zip/b.tar.gz/m.txt:1:mid needle"}));
        // Nothing but our own extraction files is written.
        QStringList written = QDir(tmp).entryList(QDir::Files);
        written.removeIf([](const QString &f) { return f.endsWith(".lock"); });
        QCOMPARE(written, (QStringList{"nested2.tmp", "nested3.tmp"}));
    }

    // Entries searched in memory as they are read (and large ones through "archive.tmp") give
    // the hits of the same files searched on disk: encodings, line ends, chunk boundaries,
    // plain and deep search.
    void inMemoryEqualsFiles()
    {
        const QString dir = tree.dir("same");
        QByteArray chunked(300 * 1024, 'x'), big;
        for (int at = 1000; at < chunked.size(); at += 65521)
            chunked.replace(at, 9, "\n中文 end\n");
        for (int i = 0; big.size() < (5 << 20); ++i)
            big += i % 997 ? QByteArray("line of filler text\n") : "行 " + QByteArray::number(i) + " 中文\r\n";
        const QList<std::pair<QString, QByteArray>> files{
            {"utf8.txt", "a\r\n中文 b\r\nno end 中文"},
            {"gb.txt", QStringEncoder("GB18030").encode("一\n有中文的行\n")},
            {"utf16.txt", QStringEncoder(QStringEncoder::Utf16LE, QStringConverter::Flag::WriteBom).encode("x\n中文\n")},
            {"chunked.txt", chunked},
            {"big.txt", big}};
        QStringList names;
        for (const auto &[name, data] : files)
            names << tree.file("same/" + name, data).mid(dir.size() + 1);
        MAKE_OR_SKIP("../same.tar.gz", "tar", QStringList{"-C", dir, "-czf", tree.path("same.tar.gz")} + names);
        MAKE_OR_SKIP("../big.txt.gz", "gzip", {"-c", dir + "/big.txt"}, tree.path("big.txt.gz"));
        for (const bool deep : {false, true}) {
            searchThread worker;
            worker.setSearchParam({}, {"*"}, "中文", Qt::CaseSensitive, true, false, deep);
            ArchiveSearch search({"*"}, "中文", tmp);
            search.options.deepSearch = deep;
            search.options.codecTexts = worker.searchOptions().codecTexts;
            QList<TFileInfo> onDisk;
            for (const QString &name : names)
                grepFile(&search.options, dir + '/' + name, onDisk, "same.tar.gz/" + name);
            QVERIFY(!onDisk.isEmpty());
            QCOMPARE(hitTexts(search.run(tree.path("same.tar.gz"))), hitTexts(onDisk));
            QList<TFileInfo> bigOnDisk;   // a compressed file's entry does not tell its size
            grepFile(&search.options, dir + "/big.txt", bigOnDisk, "big.txt.gz/big.txt");
            QCOMPARE(hitTexts(search.run(tree.path("big.txt.gz"))), hitTexts(bigOnDisk));
            QCOMPARE(search.messages(), QByteArray());
        }
    }

    // A RAR on disk opens the archives and documents it holds as a ZIP does: up to depth 3.
    void insideRar()
    {
        const auto zipBytes = [&](const QString &name, const QList<ZipTestEntry> &entries) {
            return writeZip(tree.file("rar/" + name), entries) ? readFile(tree.path("rar/" + name)) : QByteArray(); };
        const QByteArray docx = zipBytes("c.docx", {{"word/document.xml",
            "<w:document xmlns:w='http://schemas.openxmlformats.org/wordprocessingml/2006/main'><w:body>"
            "<w:p><w:r><w:t>docx needle</w:t></w:r></w:p></w:body></w:document>"}});
        const QByteArray deeper = zipBytes("b.zip", {{"e.zip", zipBytes("e.zip", {{"x.txt", "too deep needle\n"}})}});
        const QByteArray inner = zipBytes("a.zip", {{"note.txt.gz", gzipped(noteText)}, {"b.zip", deeper}});
        const QString path = tree.file("rar/r.rar", rar4Archive({{"a.zip", inner}, {"c.docx", docx}, {"d", {}, true}}));
        QCOMPARE(hitTexts(ArchiveSearch({"*.txt", "*.zip"}, QString(), tmp).run(path)),
                 (QStringList{"r.rar/a.zip", "r.rar/a.zip/b.zip", "r.rar/a.zip/b.zip/e.zip", "r.rar/a.zip/note.txt.gz/note.txt"}));
        ArchiveSearch content({"*"}, "needle", tmp);
        QCOMPARE(hitTexts(content.run(path)),
                 (QStringList{"r.rar/a.zip/note.txt.gz/note.txt:1:hello 世界 needle", "r.rar/c.docx:1:docx needle"}));
        QCOMPARE(content.messages(), QByteArray());
    }

    void encrypted7z()
    {
        MAKE_OR_SKIP("secret.7z", "7zz", {"a", "-bd", "-pSECRET", out + "/secret.7z", "docs/note.txt", "中文名.txt"});
        ArchiveSearch content({"*"}, "needle", tmp);
        QCOMPARE(content.run(out + "/secret.7z"), QList<TFileInfo>());
        const QByteArray said = content.messages();
        QVERIFY(said.count('\n') == 1 && said.contains("encrypted"));
    }

    // An entry past the limits is left with one diagnostic: by ratio, and by size.
    void limits_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("random");
        QTest::newRow("ratio tar.gz") << "tar" << QStringList{"-czf", "../bomb.tar.gz"} << false;
        QTest::newRow("ratio zip") << "zip" << QStringList{"-q", "../bomb.zip"} << false;
        QTest::newRow("size 7z") << "7zz" << QStringList{"a", "-bd", "../big.7z"} << true;
    }
    void limits()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(bool, random);
        const QString dir = tree.dir(QString("limits/") + QTest::currentDataTag());
        QByteArray data(3 << 20, '\0');
        if (random)
            QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
        tree.file(QString("limits/") + QTest::currentDataTag() + "/x.bin", data + "needle\n");
        tree.file(QString("limits/") + QTest::currentDataTag() + "/y.txt", "after needle\n");
        const QString why = runTool(dir, program, args + QStringList{"x.bin", "y.txt"});
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        ArchiveSearch content({"*"}, "needle", tmp);
        content.options.archiveLimits.ratioFloorBytes = 1 << 20;
        content.options.archiveLimits.maxEntryBytes = 2 << 20;
        const QStringList hits = hitTexts(content.run(dir + '/' + args.last()));
        QVERIFY2(!hits.join(' ').contains("x.bin"), qPrintable(hits.join(' ')));
        const QByteArray said = content.messages();
        QVERIFY(said.count('\n') == 1 && said.contains("limit"));
    }

    // gzip members are inflated as zlib inflates them, one after another; damage is an error.
    void gzipMembers_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("inflated");   // all of it, or what comes before the error
        QTest::addColumn<bool>("damaged");
        QByteArray big;
        for (int i = 0; big.size() < (3 << 20); ++i)
            big += "line " + QByteArray::number(i * 7919 % 100003) + " of some text\n";
        const QByteArray a = "first member\n", b = "second member\n";
        QTest::newRow("one") << gzipped(a) << a << false;
        QTest::newRow("a header with name, comment, extra field") << gzipped(a, true) << a << false;
        QTest::newRow("members one after another") << gzipped(a) + gzipped("") + gzipped(b, true) << a + b << false;
        QTest::newRow("members across input blocks") << gzipped(big) + gzipped(big) << big + big << false;
        QTest::newRow("what follows the last member is left") << gzipped(a) + "not gzip" << a << false;
        QByteArray crc = gzipped(big), size = crc, cut = crc;
        crc[crc.size() - 8] = char(crc[crc.size() - 8] ^ 1);
        size[size.size() - 1] = char(size[size.size() - 1] ^ 1);
        cut.chop(cut.size() / 2);
        QTest::newRow("wrong check sum") << crc << big << true;
        QTest::newRow("wrong length") << size << big << true;
        QTest::newRow("cut short") << cut << big << true;
        QTest::newRow("cut in its trailer") << gzipped(a).chopped(3) << a << true;
    }

    void gzipMembers()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, inflated);
        QFETCH(bool, damaged);
        int64_t size = 0;
        const int fd = openRegularFile(QFile::encodeName(tree.file("gzip/member.gz", file)).constData(), size);
        QVERIFY(fd >= 0 && GzipInput::startsWithGzip(fd));
        GzipInput input(fd);
        QByteArray out;
        char block[40000];   // not a divisor of the input block
        int64_t n = 0;
        while ((n = input.read(block, sizeof block)) > 0)
            out.append(block, int(n));
        closeRegularFile(fd);
        QCOMPARE(n == -1, damaged);
        QVERIFY(damaged ? inflated.startsWith(out) && !input.error().empty() : out == inflated);
    }

    // Damaged copies of every archive made above: no crash, no hang, no stray hit names.
    void damaged()
    {
        const QStringList archives = QDir(out).entryList(QDir::Files);
        if (archives.isEmpty())
            QSKIP("no archive could be made");
        QByteArray lha = lhaArchive({{"a.txt", "a needle\n"}});
        lha[lha.size() - 10] = 'b';   // the stored data no longer matches its check sum: read as it is
        QCOMPARE(hitTexts(ArchiveSearch({"*"}, "needle", tmp).run(tree.file("damaged/a.lzh", lha))), QStringList{"a.lzh/a.txt:1:b needle"});
        QRandomGenerator random(11);
        for (const QString &name : archives) {
            const QByteArray whole = readFile(out + '/' + name);
            for (int variant = 0; variant < 6; ++variant) {
                QByteArray bytes = variant == 0 ? whole.left(whole.size() / 2) : whole;
                for (int flip = 0; variant > 0 && flip < variant * 4; ++flip)
                    bytes[random.bounded(bytes.size())] = char(random.generate());
                const QString path = tree.file("damaged/" + QString::number(variant) + '/' + name, bytes);
                for (const QString &text : {QString(), QStringLiteral("needle")}) {
                    for (const QString &hit : hitTexts(ArchiveSearch({"*"}, text, tmp).run(path)))
                        QVERIFY2(hit.startsWith(name + '/'), qPrintable(hit));
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestOtherArchives)
#include "test_otherarchives.moc"
