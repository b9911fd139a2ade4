#include "archivetesthelpers.h"
#include "archive/rarvolumenames.h"
#include "archive/unrarlayer.h"

#include <clocale>
#include <string>
#include <vector>

// RAR archives: the UnRAR-shaped reader on its own (records, extraction, the callback
// dialogue), and what the search makes of volumes, passwords and damage. Then archives made by
// other tools (libarchive's test suite): the names and contents their manifest lists.

namespace {

QByteArray lines(int count, int markerLine = 0)
{
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += "rar line " + QByteArray::number(i) + (i == markerLine ? " needle" : "") + "\n";
    return out;
}

// Following volumes are announced as they are opened.
QByteArray notices(const QStringList &volumes)
{
    QByteArray out;
    for (const QString &volume : volumes)
        out += "\n  ... volume " + QFile::encodeName(volume) + "\n";
    return out;
}

// The notices of a fixture: the volumes after a first one named "part1" or "part01".
QByteArray volumeNotices(const QString &archive, const QString &path)
{
    const bool rar5 = archive.contains("rar5");
    const QString first = rar5 ? "part01" : "part1";
    QStringList later;
    for (int i = 2; archive.contains(first) && i <= (rar5 ? 4 : 3); ++i)
        later << QString(path).replace(first, first.chopped(1) + QString::number(i));
    return notices(later);
}

} // namespace

class RarSearchTest : public QObject
{
    Q_OBJECT

    TempTree tree_;

private slots:
    // Names must not depend on the locale the search runs in.
    void initTestCase() { setlocale(LC_ALL, "C"); }

    // The reader's callback stops an extraction inside the entry.
    void processDataCanCancel()
    {
        const QString path = tree_.file("cancel/c.rar", rar4Archive({{"big", QByteArray(1 << 20, 'b')}}));
        std::string name = QFile::encodeName(path).toStdString(), out = QFile::encodeName(tree_.path("cancel/out")).toStdString();
        static int pieces = 0;
        RAROpenArchiveDataEx data = {};
        data.ArcName = &name[0];
        data.Callback = [](unsigned int msg, intptr_t, intptr_t, intptr_t) { return msg == UCM_PROCESSDATA && ++pieces == 2 ? -1 : 0; };
        void *handle = RAROpenArchiveEx(&data);
        RARHeaderDataEx header = {};
        QCOMPARE(RARReadHeaderEx(handle, &header), ERAR_SUCCESS);
        const int result = RARProcessFile(handle, RAR_EXTRACT, nullptr, &out[0]);
        RARCloseArchive(handle);
        QVERIFY(result != ERAR_SUCCESS);
        QCOMPARE(pieces, 2);
        QVERIFY(QFileInfo(tree_.path("cancel/out")).size() < (1 << 20));
    }

    void encryptedEntryEndsTheArchiveWithItsMessage()
    {
        const QString temp = tree_.dir("crypt/tmp");
        const QString rar = tree_.file("crypt/e.rar", rar4Archive({{"a.txt", "first"}, {"b.txt", "secret!!", false, true},
                                                                   {"c.txt", "third"}}));
        ArchiveSearch names({"*"});
        QCOMPARE(names.run(rar).size(), 3);
        QCOMPARE(names.messages(), QByteArray());
        ArchiveSearch content({"*"}, "first", temp);
        QCOMPARE(content.run(rar), QList<TFileInfo>({{inArchive({"e.rar", "a.txt"}), 1, "first"}}));
        QCOMPARE(content.messages(), QByteArray("\nPassword required: Password for encrypted file or header is not specified"));
        // Entries that do not match are skipped, encrypted or not.
        ArchiveSearch skipped({"c.txt"}, "x", temp);
        skipped.run(rar);
        QCOMPARE(skipped.messages(), QByteArray());
        QCOMPARE(readFile(temp + "/rar.tmp"), QByteArray("third"));
    }

    void damagedHeaderEndsTheArchive()
    {
        // A header whose CRC no longer fits ends the archive; what came before stays.
        QByteArray bytes = rar4Archive({{"one.txt", "1"}, {"two.txt", "2"}, {"three.txt", "3"}});
        bytes[bytes.indexOf("two.txt") + 1] = 'X';
        const QString damaged = tree_.file("damaged/d.rar", bytes);
        ArchiveSearch search({"*"});
        QCOMPARE(hitNames(search.run(damaged)), QStringList({inArchive({"d.rar", "one.txt"})}));
        QCOMPARE(search.messages(), "\n" + QFile::encodeName(damaged) + ": archive header or data are damaged");
    }

    void volumeSets_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("newNumbering");
        QTest::addColumn<bool>("firstVolumeFlag");
        QTest::newRow("numbered") << QStringList{"s.part1.rar", "s.part2.rar", "s.part3.rar"} << true << true;
        QTest::newRow("by extension") << QStringList{"s.rar", "s.r00", "s.r01"} << false << true;
        // Sets from before the first-volume flag: a later volume starts inside a file.
        QTest::newRow("no first-volume flag") << QStringList{"s.part1.rar", "s.part2.rar", "s.part3.rar"} << true << false;
    }

    void volumeSets()
    {
        QFETCH(QStringList, names);
        QFETCH(bool, newNumbering);
        QFETCH(bool, firstVolumeFlag);
        const QString folder = QString("volumes/") + QTest::currentDataTag() + "/";
        const QByteArray big = lines(3000, 2500);
        const QList<QByteArray> volumes = rar4Volumes({{"before.txt", "b"}, {"big.txt", big}, {"after.txt", lines(800)}},
                                                      {20000, newNumbering, firstVolumeFlag});
        QCOMPARE(volumes.size(), 3);
        QStringList paths;
        for (int i = 0; i < 3; ++i)
            paths.append(tree_.file(folder + names.at(i), volumes.at(i)));
        // Every volume is met by the walk; the entries are found once, from the first.
        ArchiveSearch search({"*"});
        QList<TFileInfo> hits;
        for (const QString &path : paths)
            hits += search.run(path);
        QCOMPARE(hitNames(hits), QStringList({inArchive({names.at(0), "before.txt"}), inArchive({names.at(0), "big.txt"}),
                                              inArchive({names.at(0), "after.txt"})}));
        QCOMPARE(search.messages(), notices(paths.mid(1)));
        const QString temp = tree_.dir(folder + "tmp");
        ArchiveSearch content({"big.txt"}, "needle", temp);
        QCOMPARE(content.run(paths.at(0)), QList<TFileInfo>({{inArchive({names.at(0), "big.txt"}), 2500, "rar line 2500 needle"}}));
        QCOMPARE(content.messages(), notices(paths.mid(1)));
        QCOMPARE(readFile(temp + "/rar.tmp"), big);
        // Without the first volume, a numbered set is read from the second (the third is read on
        // from it, not again); "s.r00" is no archive name.
        QVERIFY(QFile::remove(paths.at(0)));
        const QStringList fromSecond = {inArchive({names.at(1), "big.txt"}), inArchive({names.at(1), "after.txt"})};
        QCOMPARE(hitNames(search.run(paths.at(1))), newNumbering ? fromSecond : QStringList());
        QCOMPARE(search.run(paths.at(2)), QList<TFileInfo>());
    }

    void volumeNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("newNumbering");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QStringList>("previous");
        auto row = [](const char *path, bool numbering, const char *next, const QStringList &previous) {
            QTest::addRow("%s %s", path, numbering ? "numbered" : "by extension") << path << numbering << next << previous;
        };
        row("/a/set.part1.rar", true, "/a/set.part2.rar", {});
        row("/a/set.part10.rar", true, "/a/set.part11.rar", {"/a/set.part09.rar", "/a/set.part9.rar"});
        row("/a/set.part099.RAR", true, "/a/set.part100.RAR", {"/a/set.part098.RAR"});
        row("/v1.2/set2019.part7.rar", true, "/v1.2/set2019.part8.rar", {"/v1.2/set2019.part6.rar"});
        row("/v1/set.rar", true, "/v1/set.r00", {});  // no number in the name: the old naming is left
        row("/a/SET.R00", false, "/a/SET.R01", {"/a/SET.RAR"});
        row("/a/set.r09", false, "/a/set.r10", {"/a/set.r08"});
        row("/a/set.r99", false, "/a/set.s00", {"/a/set.r98"});
        row("/a/set.s00", false, "/a/set.s01", {"/a/set.r99"});
        row("/a/set.part1.rar", false, "/a/set.part1.r00", {});
        row("/a/set.zip", false, "", {});
        row("/a.rar/set", false, "", {});
    }

    void volumeNames()
    {
        QFETCH(QString, path);
        QFETCH(bool, newNumbering);
        QFETCH(QString, next);
        QFETCH(QStringList, previous);
        QCOMPARE(QString::fromStdString(nextRarVolumeName(path.toStdString(), newNumbering)), next);
        QStringList before;
        for (const std::string &name : previousRarVolumeNames(path.toStdString(), newNumbering))
            before.append(QString::fromStdString(name));
        QCOMPARE(before, previous);
    }

    void entryNames_data()
    {
        REQUIRE_FIXTURES("libarchive/MANIFEST.md");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QByteArray>("output");  // "%s" for the archive's path
        auto row = [](const char *tag, const char *archive, const QStringList &entries, const QByteArray &output = {}) {
            QTest::newRow(tag) << archive << entries << output;
        };
        const QByteArray headerPassword = "\nPassword required: Password for encrypted file or header is not specified";
        const QStringList abcd = {"a.txt", "b.txt", "c.txt", "d.txt"}, bins = {"test1.bin", "test2.bin", "test3.bin", "test4.bin"};
        row("rar4 stored", "test_read_format_rar.rar", {"test.txt", "testlink", "testdir/test.txt", "testdir", "testemptydir"});
        row("rar4 unicode", "test_read_format_rar_unicode.rar",
            {"表だよ/新しいフォルダ/新規テキスト ドキュメント.txt", "表だよ/漢字長いファイル名long-filename-in-漢字.txt",
             "表だよ/新しいフォルダ", "表だよ", "表だよ/ファイル", "abcdefghijklmnopqrsテスト.txt"});
        row("rar4 encrypted data", "test_read_format_rar4_encrypted.rar", abcd);
        row("rar4 encrypted headers", "test_read_format_rar4_encrypted_filenames.rar", {}, headerPassword);
        // libarchive 3.6.2 reads no RAR4 solid archive past its first entry.
        row("rar4 solid", "test_read_format_rar4_solid_encrypted.rar", {"a.txt"}, "\n%s: archive header or data are damaged");
        row("rar4 volumes", "test_rar_multivolume_single_file.part1.rar", {"LibarchiveAddingTest.html"});
        row("rar5 stored", "test_read_format_rar5_stored.rar", {"helloworld.txt"});
        row("rar5 solid", "test_read_format_rar5_multiple_files_solid.rar", bins);
        row("rar5 unicode", "test_read_format_rar5_unicode.rar", {"👋🌎.txt", "Ⓗⓐⓡⓓ Ⓛⓘⓝⓚ.txt", "𝒮𝓎𝓂𝒷𝑜𝓁𝒾𝒸 𝐿𝒾𝓃𝓀.txt"});
        row("rar5 symlink", "test_read_format_rar5_symlink.rar", {"file.txt", "symlink.txt", "dirlink", "dir"});
        row("rar5 win32", "test_read_format_rar5_win32.rar", QStringList{"testdir", "test.bin"} + bins + QStringList{"test5.bin", "test6.bin"});
        row("rar5 encrypted data", "test_read_format_rar5_encrypted.rar", abcd);
        row("rar5 encrypted headers", "test_read_format_rar5_encrypted_filenames.rar", {}, headerPassword);
        row("rar5 volumes", "test_read_format_rar5_multiarchive_solid.part01.rar",
            QStringList{"cebula.txt", "test.bin"} + bins + QStringList{"test5.bin", "test6.bin", "elf-Linux-ARMv7-ls"});
        row("rar5 later volume", "test_read_format_rar5_multiarchive_solid.part04.rar", {});
        row("zip folders", "test_compat_zip_6.zip", {"New Folder/New Folder/", "New Folder/New Folder/New Text Document.txt"});
        row("zip utf-8", "test_read_format_zip_filename_utf8_jp.zip", {"表だよ/", "表だよ/一覧表.txt", "表だよ/漢字.txt"});
        row("zip mixed", "test_read_format_zip_filename_utf8_ru2.zip", {QString(6, QChar(0xfffd)), "привет"});
        // Local headers whose names differ from the central directory's.
        row("zip cp437", "test_read_format_zip_7075_utf8_paths.zip",
            {"File 1.txt", "File 2 - \ufffd.txt", "File 3 - \ufffd.txt", "File 4 - \ufffd.txt"},
            QByteArray("error -103 with zipfile in unzOpenCurrentFilePassword\n").repeated(3));
        row("zip64", "test_read_format_zip_zip64a.zip", {"-"});
        row("zip bad local headers", "test_t_bad.zip",
            {"test_basic/", "test_basic/a", "test_basic/b", "test_basic/c", "test_basic/CAPS"});
        row("zip malformed", "test_read_format_zip_malformed1.zip", {}, "Cannot open %s or %s.zip\n");
    }

    void entryNames()
    {
        QFETCH(QString, archive);
        QFETCH(QStringList, entries);
        QFETCH(QByteArray, output);
        const QString path = thirdPartyFixtures("libarchive/" + archive);
        ArchiveSearch search({"*"});
        QStringList expected;
        for (const QString &entry : entries)
            expected.append(archive + QDir::separator() + QDir::toNativeSeparators(entry));
        QCOMPARE(hitNames(search.run(path)), expected);
        QCOMPARE(search.messages(), volumeNotices(archive, path) + output.replace("%s", QFile::encodeName(path)));
    }

    void contents_data()
    {
        REQUIRE_FIXTURES("libarchive/MANIFEST.md");
        // The entries matching `pattern` are extracted in turn; the last one's size (-1: any) and start.
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QByteArray>("output");
        const QByteArray doctype = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">";
        const QByteArray none;
        auto row = [](const char *tag, const char *archive, const QString &pattern, int size, const QByteArray &start,
                      const QByteArray &output = QByteArray()) {
            QTest::newRow(tag) << archive << pattern << size << start << output;
        };
        row("rar4 stored", "test_read_format_rar.rar", "test.txt", 20, "test text document");
        row("rar4 link", "test_read_format_rar.rar", "testlink", 0, none);
        row("rar4 unicode", "test_read_format_rar_unicode.rar", "abcdefghijklmnopqrsテスト.txt", 16, "aaaaaaaaaaaaaaa");
        row("rar4 encrypted, clear entry", "test_read_format_rar4_encrypted.rar", "c.txt", 18, "This is from c.txt");
        row("rar4 volumes", "test_rar_multivolume_single_file.part1.rar", "*.html", 20111, doctype);
        row("rar5 stored", "test_read_format_rar5_stored.rar", "helloworld.txt", 29, "hello libarchive test suite!");
        row("rar5 solid", "test_read_format_rar5_multiple_files_solid.rar", "test4.bin", 4096, none);
        row("rar5 hard link", "test_read_format_rar5_unicode.rar", "Ⓗⓐⓡⓓ Ⓛⓘⓝⓚ.txt", 13, "Hello, world!");
        row("rar5 encrypted, clear entry", "test_read_format_rar5_encrypted.rar", "a.txt", 18, "This is from a.txt");
        row("rar5 encrypted entry", "test_read_format_rar5_encrypted.rar", "b.txt", -1, none,
            "\nPassword required: Password for encrypted file or header is not specified");
        row("rar5 volumes, split", "test_read_format_rar5_multiarchive_solid.part01.rar", "elf-Linux-ARMv7-ls", 90808,
            "\x7f" "ELF");
        row("zip cp932", "test_read_format_zip_filename_cp932.zip", "*", -1, "kanji");
        // minizip opens no entry whose local name differs from the central directory's.
        row("zip cp437", "test_read_format_zip_7075_utf8_paths.zip", "File 1.txt", -1, "Test file",
            QByteArray("error -103 with zipfile in unzOpenCurrentFilePassword\n").repeated(3));
        row("zip64", "test_read_format_zip_zip64a.zip", "-", -1, "file0\n");
        row("zip bad local headers", "test_t_bad.zip", "c", 11, "contents c\n");
        // Deflated data that is still encrypted does not inflate: nothing is written or searched.
        row("zip encrypted", "test_read_format_zip_traditional_encryption_data.zip", "*", 0, none,
            QByteArray("error -3 with zipfile in unzReadCurrentFile\n").repeated(2));
    }

    void contents()
    {
        QFETCH(QString, archive);
        QFETCH(QString, pattern);
        QFETCH(int, size);
        QFETCH(QByteArray, start);
        QFETCH(QByteArray, output);
        const QString path = thirdPartyFixtures("libarchive/" + archive);
        // A RAR entry is checked in the file it was extracted to; a small ZIP entry is searched
        // in memory, so by a hit on its first line.
        const bool rar = archive.endsWith(".rar");
        const QString firstLine = QString::fromUtf8(start.left(start.indexOf('\n')));
        ArchiveSearch search({pattern}, rar || start.isEmpty() ? QString("no such text") : firstLine, tree_.dir("fixtures/tmp"));
        const QList<TFileInfo> hits = search.run(path);
        QCOMPARE(search.messages(), volumeNotices(archive, path) + output);
        if (!rar) {
            QCOMPARE(hits.isEmpty(), start.isEmpty());
            return;
        }
        QVERIFY(hits.isEmpty());
        const QByteArray extracted = readFile(tree_.path("fixtures/tmp/rar.tmp"));
        if (size >= 0)
            QCOMPARE(extracted.size(), size);
        QVERIFY2(extracted.startsWith(start), extracted.left(100).constData());
    }
};

QTEST_GUILESS_MAIN(RarSearchTest)
#include "test_rarsearch.moc"
