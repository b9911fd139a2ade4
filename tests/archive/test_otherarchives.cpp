// Archives read through libarchive (7z, tar kinds, ISO, CAB, cpio, single compressed files),
// archives inside archives, the expansion limits and the stop, with fixtures made by the tools
// Debian ships (7zip, tar, gzip, bzip2, xz, zstd, xorriso, gcab, cpio, zip).
#include "temptree.h"
#include "archive/archivesearch.h"
#include "walk/searchoptions.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

#include <cstring>
#include <memory>

#include <zlib.h>

namespace {

const QByteArray noteText = "hello 世界 needle\n";
const QByteArray cjkText = "第一行\n你好 needle 中文\n";

// Runs a tool in `dir`; false (and the reason in `why`) when it is missing or fails.
bool runTool(const QString &dir, const QString &program, const QStringList &args, QString &why,
             const QString &stdoutFile = QString())
{
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        why = program + QStringLiteral(" is not installed");
        return false;
    }
    QProcess process;
    process.setWorkingDirectory(dir);
    if (!stdoutFile.isEmpty())
        process.setStandardOutputFile(stdoutFile);
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        why = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    return true;
}

struct Search
{
    TSearchOptions options;
    std::shared_ptr<QByteArray> messages = std::make_shared<QByteArray>();

    Search(const QString &names, const QString &text, const QString &tempDir)
    {
        options.nameMatcher = NameMatcher(names.split(QLatin1Char(';')));
        options.grepText = text;
        options.tempDir = tempDir;
        options.diagnostics = [out = messages](const QByteArray &m) { out->append(m); };
    }
    QStringList run(const QString &archive) const
    {
        QList<TFileInfo> hits;
        searchArchive(archive, hits, &options);
        QStringList names;
        for (const TFileInfo &hit : hits)
            names.append(QDir::fromNativeSeparators(hit.fileName)
                         + (hit.lineNo ? QLatin1Char(':') + QString::number(hit.lineNo) + QLatin1Char(':') + hit.lineText
                                       : QString()));
        names.sort();
        return names;
    }
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One gzip member holding `data`.
QByteArray gzipped(const QByteArray &data)
{
    z_stream z = {};
    if (deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return QByteArray();
    QByteArray out(int(deflateBound(&z, uLong(data.size()))) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const bool done = deflate(&z, Z_FINISH) == Z_STREAM_END;
    out.truncate(done ? int(z.total_out) : 0);
    deflateEnd(&z);
    return out;
}

} // namespace

class TestOtherArchives : public QObject
{
    Q_OBJECT

private:
    TempTree tree;
    QString src, out, tmp;
    // Makes `name` in the output folder from the source tree; the reason when it cannot.
    QString make(const QString &name, const QString &program, const QStringList &args, const QString &pipeTo = {})
    {
        QString why;
        if (QFile::exists(out + QLatin1Char('/') + name))
            return QString();
        return runTool(src, program, args, why, pipeTo.isEmpty() ? QString() : out + QLatin1Char('/') + pipeTo)
            ? QString() : why;
    }
    void requireTool(const QString &why)
    {
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
    }

private slots:
    void initTestCase()
    {
        src = tree.dir(QStringLiteral("src"));
        out = tree.dir(QStringLiteral("out"));
        tmp = tree.dir(QStringLiteral("tmp"));
        tree.file(QStringLiteral("src/docs/note.txt"), noteText);
        tree.file(QStringLiteral("src/中文名.txt"), cjkText);
    }

    // A stop request ends even the reading of one huge entry: a tar.gz whose first entry is
    // 16 GB of zeros (a header and 16384 gzip members of 1 MB each), passed over by a name search.
    // First, and made without a tool: the thread sanitizer refuses a thread after a fork.
    void stopInsideEntry()
    {
        QByteArray header(512, '\0');
        const auto put = [&](int at, const char *text) { memcpy(header.data() + at, text, strlen(text)); };
        put(0, "huge.bin");
        put(100, "0000644");
        put(108, "0000000");
        put(116, "0000000");
        header[124] = char(0x80);   // the size in binary: 2^34
        header[131] = char(0x04);
        put(136, "00000000000");
        put(148, "        ");
        header[156] = '0';
        put(257, "ustar");
        put(263, "00");
        int sum = 0;
        for (const char c : header)
            sum += uchar(c);
        put(148, QByteArray::number(sum, 8).rightJustified(6, '0').constData());
        QFile big(tree.dir(QStringLiteral("stop")) + "/huge.tar.gz");
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(gzipped(header));
        const QByteArray member = gzipped(QByteArray(1 << 20, '\0'));
        for (int i = 0; i < 16384; ++i)
            big.write(member);
        big.close();
        Search names(QStringLiteral("*"), QString(), tmp);
        names.options.archiveLimits.maxEntryBytes = qint64(1) << 40;
        names.options.archiveLimits.maxRatio = qint64(1) << 40;
        std::unique_ptr<QThread> worker(QThread::create([&] { names.run(big.fileName()); }));
        worker->start();
        QThread::msleep(300);
        QVERIFY(worker->isRunning());
        worker->requestInterruption();
        QElapsedTimer sinceStop;
        sinceStop.start();
        QVERIFY(worker->wait(5000));
        qInfo("stopped after %lld ms", sinceStop.elapsed());
    }

    // Every kind: the entries' names, and their lines with the right names (CJK included).
    void kinds_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("pipeTo");
        const QStringList both{QStringLiteral("docs/note.txt"), QStringLiteral("中文名.txt")};
        const auto tar = [&](const char *option, const QString &name) {
            return QStringList{QString::fromLatin1(option), QStringLiteral("-cf"), out + '/' + name} + both;
        };
        QTest::newRow("7z") << "backup.7z" << "7zz" << (QStringList{"a", "-bd", out + "/backup.7z"} + both) << "";
        QTest::newRow("tar") << "b.tar" << "tar" << (QStringList{"-cf", out + "/b.tar"} + both) << "";
        QTest::newRow("tar.gz") << "b.tar.gz" << "tar" << tar("-z", "b.tar.gz") << "";
        QTest::newRow("tgz upper") << "B.TGZ" << "tar" << tar("-z", "B.TGZ") << "";
        QTest::newRow("tar.bz2") << "b.tar.bz2" << "tar" << tar("-j", "b.tar.bz2") << "";
        QTest::newRow("txz") << "b.txz" << "tar" << tar("-J", "b.txz") << "";
        QTest::newRow("tar.zst") << "b.tar.zst" << "tar" << tar("--zstd", "b.tar.zst") << "";
        QTest::newRow("iso") << "b.iso" << "xorriso"
                             << QStringList{"-as", "mkisofs", "-quiet", "-J", "-R", "-o", out + "/b.iso", "."} << "";
        QTest::newRow("cab") << "b.cab" << "gcab" << (QStringList{"-c", out + "/b.cab"} + both) << "";
        QTest::newRow("cpio") << "b.cpio" << "sh"
                              << QStringList{"-c", "printf 'docs\\ndocs/note.txt\\n中文名.txt\\n' | cpio -o -H newc"}
                              << "b.cpio";
    }
    void kinds()
    {
        QFETCH(QString, archive);
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QString, pipeTo);
        requireTool(make(archive, program, args, pipeTo));
        const QString path = out + '/' + archive;
        QCOMPARE(Search(QStringLiteral("*.txt"), QString(), tmp).run(path),
                 (QStringList{archive + "/docs/note.txt", archive + "/中文名.txt"}));
        Search content(QStringLiteral("*"), QStringLiteral("needle"), tmp);
        QCOMPARE(content.run(path), (QStringList{archive + "/docs/note.txt:1:hello 世界 needle",
                                                 archive + "/中文名.txt:2:你好 needle 中文"}));
        QCOMPARE(*content.messages, QByteArray());
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
        const QString name = QStringLiteral("notes.txt.") + suffix;
        requireTool(make(name, program, {"-c", "docs/note.txt"}, name));
        QCOMPARE(Search(QStringLiteral("notes.txt"), QString(), tmp).run(out + '/' + name),
                 QStringList{name + "/notes.txt"});
        QCOMPARE(Search(QStringLiteral("*"), QStringLiteral("needle"), tmp).run(out + '/' + name),
                 QStringList{name + "/notes.txt:1:hello 世界 needle"});
        // Not compressed at all: said once, nothing found.
        const QString plain = tree.file("plain/fake." + suffix, noteText);
        Search fake(QStringLiteral("*"), QStringLiteral("needle"), tmp);
        QCOMPARE(fake.run(plain), QStringList());
        QCOMPARE(fake.messages->count('\n'), 1);
    }

    // a.zip/b.tar.gz/d.7z/c/e.txt is read; an archive a level deeper is only named.
    void nesting()
    {
        const QString n = tree.dir(QStringLiteral("nest"));
        tree.file(QStringLiteral("nest/l4/g.txt"), "too deep needle\n");
        tree.file(QStringLiteral("nest/l3/c/e.txt"), "deep needle\n");
        tree.file(QStringLiteral("nest/l2/m.txt"), "mid needle\n");
        QString why;
        if (!runTool(n + "/l4", "tar", {"-czf", n + "/l3/f.tgz", "g.txt"}, why)
            || !runTool(n + "/l3", "7zz", {"a", "-bd", n + "/l2/d.7z", "c", "f.tgz"}, why)
            || !runTool(n + "/l2", "tar", {"-czf", n + "/b.tar.gz", "m.txt", "d.7z"}, why)
            || !runTool(n, "zip", {"-q", "a.zip", "b.tar.gz"}, why))
            QSKIP(qPrintable(why));
        QCOMPARE(Search(QStringLiteral("*needle*;*.txt;*.tgz"), QString(), tmp).run(n + "/a.zip"),
                 (QStringList{"a.zip/b.tar.gz/d.7z/c/e.txt", "a.zip/b.tar.gz/d.7z/f.tgz", "a.zip/b.tar.gz/m.txt"}));
        QCOMPARE(Search(QStringLiteral("*"), QStringLiteral("needle"), tmp).run(n + "/a.zip"),
                 (QStringList{"a.zip/b.tar.gz/d.7z/c/e.txt:1:deep needle", "a.zip/b.tar.gz/m.txt:1:mid needle"}));
        // Nothing but our own extraction files is written.
        QStringList written = QDir(tmp).entryList(QDir::Files);
        written.removeIf([](const QString &f) { return f.endsWith(QLatin1String(".lock")); });
        written.sort();
        QCOMPARE(written, (QStringList{"archive.tmp", "nested2.tmp", "nested3.tmp"}));
    }

    void encrypted7z()
    {
        requireTool(make("secret.7z", "7zz", {"a", "-bd", "-pSECRET", out + "/secret.7z", "docs/note.txt", "中文名.txt"}));
        Search content(QStringLiteral("*"), QStringLiteral("needle"), tmp);
        QCOMPARE(content.run(out + "/secret.7z"), QStringList());
        QCOMPARE(content.messages->count('\n'), 1);
        QVERIFY(content.messages->contains("encrypted"));
    }

    // An entry past the limits is left with one diagnostic: by ratio, and by size.
    void limits_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<bool>("random");
        QTest::newRow("ratio tar.gz") << "bomb.tar.gz" << false;
        QTest::newRow("ratio zip") << "bomb.zip" << false;
        QTest::newRow("size 7z") << "big.7z" << true;
    }
    void limits()
    {
        QFETCH(QString, archive);
        QFETCH(bool, random);
        const QString dir = tree.dir("limits/" + archive + ".d");
        QByteArray data(3 << 20, '\0');
        if (random)
            QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
        tree.file("limits/" + archive + ".d/x.bin", data + "needle\n");
        tree.file("limits/" + archive + ".d/y.txt", "after needle\n");
        QString why;
        const bool made = archive.endsWith(".zip") ? runTool(dir, "zip", {"-q", "../" + archive, "x.bin", "y.txt"}, why)
            : archive.endsWith(".7z")              ? runTool(dir, "7zz", {"a", "-bd", "../" + archive, "x.bin", "y.txt"}, why)
                                                   : runTool(dir, "tar", {"-czf", "../" + archive, "x.bin", "y.txt"}, why);
        if (!made)
            QSKIP(qPrintable(why));
        Search content(QStringLiteral("*"), QStringLiteral("needle"), tmp);
        content.options.archiveLimits.ratioFloorBytes = 1 << 20;
        content.options.archiveLimits.maxEntryBytes = 2 << 20;
        const QStringList hits = content.run(dir + "/../" + archive);
        QVERIFY2(!hits.join(' ').contains("x.bin"), qPrintable(hits.join(' ')));
        QCOMPARE(content.messages->count('\n'), 1);
        QVERIFY(content.messages->contains("limit"));
    }

    // Damaged copies of every archive made above: no crash, no hang, no stray hit names.
    void damaged()
    {
        const QStringList archives = QDir(out).entryList(QDir::Files);
        if (archives.isEmpty())
            QSKIP("no archive could be made");
        const QString bad = tree.dir(QStringLiteral("damaged"));
        QRandomGenerator random(11);
        for (const QString &name : archives) {
            const QByteArray whole = readAll(out + '/' + name);
            for (int variant = 0; variant < 6; ++variant) {
                QByteArray bytes = variant == 0 ? whole.left(whole.size() / 2) : whole;
                for (int flip = 0; variant > 0 && flip < variant * 4; ++flip)
                    bytes[random.bounded(bytes.size())] = char(random.generate());
                const QString path = tree.file("damaged/" + QString::number(variant) + '/' + name, bytes);
                for (const QString &text : {QString(), QStringLiteral("needle")}) {
                    for (const QString &hit : Search(QStringLiteral("*"), text, tmp).run(path))
                        QVERIFY2(hit.startsWith(name + '/'), qPrintable(hit));
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestOtherArchives)
#include "test_otherarchives.moc"
