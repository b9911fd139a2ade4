#include "archivetesthelpers.h"

#include <clocale>

// Archives made by other tools (libarchive's test suite): the names and contents their
// manifest lists.

namespace {

// Following volumes are announced as they are opened.
QByteArray volumeNotices(const QString &archive, const QString &path)
{
    const bool rar5 = archive.contains("rar5");
    const QString first = rar5 ? "part01" : "part1";
    QByteArray notices;
    for (int i = 2; archive.contains(first) && i <= (rar5 ? 4 : 3); ++i)
        notices += "\n  ... volume " + QFile::encodeName(QString(path).replace(first, first.chopped(1) + QString::number(i))) + "\n";
    return notices;
}

} // namespace

class ArchiveFixturesTest : public QObject
{
    Q_OBJECT

    TempTree temp_;

private slots:
    void initTestCase()
    {
        REQUIRE_FIXTURES("libarchive/MANIFEST.md");
        temp_.dir("tmp");
        // Names must not depend on the locale the search runs in.
        setlocale(LC_ALL, "C");
    }

    void entryNames_data()
    {
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
        ArchiveSearch search({pattern}, rar || start.isEmpty() ? QString("no such text") : firstLine, temp_.path("tmp"));
        const QList<TFileInfo> hits = search.run(path);
        QCOMPARE(search.messages(), volumeNotices(archive, path) + output);
        if (!rar) {
            QCOMPARE(hits.isEmpty(), start.isEmpty());
            return;
        }
        QVERIFY(hits.isEmpty());
        const QByteArray extracted = readFile(temp_.path("tmp/rar.tmp"));
        if (size >= 0)
            QCOMPARE(extracted.size(), size);
        QVERIFY2(extracted.startsWith(start), extracted.left(100).constData());
    }
};

QTEST_GUILESS_MAIN(ArchiveFixturesTest)
#include "test_archivefixtures.moc"
