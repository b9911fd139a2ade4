#include "archive/archivesearch.h"
#include "archivetesthelpers.h"
#include "stdoutcapture.h"
#include "temptree.h"
#include "archive/unrarlayer.h"

#include <QFileInfo>
#include <QTest>

#include <string>

// Archives made by other tools (libarchive's test suite): the names and contents their
// manifest lists.
class ArchiveFixturesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void entryNames_data();
    void entryNames();
    void rarContents_data();
    void rarContents();
    void zipContents_data();
    void zipContents();

private:
    TempTree temp_;
};

namespace {

QString fixture(const QString &name)
{
    return thirdPartyFixtures("libarchive/" + name);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Extracts the entries of a RAR archive one by one; the named one's bytes, or a null array.
QByteArray extractRarEntry(const QString &archive, const QString &entry, const QString &dest)
{
    std::string path = QFile::encodeName(archive).toStdString();
    RAROpenArchiveDataEx data = {};
    data.ArcName = &path[0];
    data.OpenMode = RAR_OM_EXTRACT;
    void *handle = RAROpenArchiveEx(&data);
    if (!handle)
        return QByteArray();
    QByteArray result;
    RARHeaderDataEx header = {};
    std::string out = QFile::encodeName(dest).toStdString();
    while (RARReadHeaderEx(handle, &header) == ERAR_SUCCESS) {
        if (QString::fromWCharArray(header.FileNameW) != entry) {
            RARProcessFile(handle, RAR_SKIP, nullptr, nullptr);
            continue;
        }
        if (RARProcessFile(handle, RAR_EXTRACT, nullptr, &out[0]) == ERAR_SUCCESS)
            result = readFile(dest).append('\0').chopped(1);  // not null, even when empty
        break;
    }
    RARCloseArchive(handle);
    return result;
}

} // namespace

void ArchiveFixturesTest::initTestCase()
{
    QVERIFY2(QFileInfo(fixture("MANIFEST.md")).isFile(), "the third-party fixtures are missing");
    temp_.dir("tmp");
}

void ArchiveFixturesTest::entryNames_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QByteArray>("output");  // "%s" for the archive's path

    const QByteArray headerPassword = "\nPassword required: Password for encrypted file or header is not specified";
    QTest::newRow("rar4 stored") << "test_read_format_rar.rar"
                                 << QStringList{"test.txt", "testlink", "testdir/test.txt", "testdir", "testemptydir"}
                                 << QByteArray();
    QTest::newRow("rar4 unicode") << "test_read_format_rar_unicode.rar"
                                  << QStringList{"表だよ/新しいフォルダ/新規テキスト ドキュメント.txt",
                                                 "表だよ/漢字長いファイル名long-filename-in-漢字.txt",
                                                 "表だよ/新しいフォルダ", "表だよ", "表だよ/ファイル",
                                                 "abcdefghijklmnopqrsテスト.txt"}
                                  << QByteArray();
    QTest::newRow("rar4 best") << "test_read_format_rar_compress_best.rar"
                               << QStringList{"LibarchiveAddingTest.html", "testlink", "testdir/test.txt",
                                              "testdir/LibarchiveAddingTest.html", "testdir", "testemptydir"}
                               << QByteArray();
    QTest::newRow("rar4 encrypted data") << "test_read_format_rar4_encrypted.rar"
                                         << QStringList{"a.txt", "b.txt", "c.txt", "d.txt"} << QByteArray();
    QTest::newRow("rar4 encrypted headers") << "test_read_format_rar4_encrypted_filenames.rar" << QStringList{}
                                            << headerPassword;
    // libarchive 3.6.2 reads no RAR4 solid archive past its first entry.
    QTest::newRow("rar4 solid") << "test_read_format_rar4_solid_encrypted.rar" << QStringList{"a.txt"}
                                << QByteArray("\n%s: archive header or data are damaged");
    QTest::newRow("rar4 volumes") << "test_rar_multivolume_single_file.part1.rar"
                                  << QStringList{"LibarchiveAddingTest.html"} << QByteArray();
    QTest::newRow("rar4 later volume") << "test_rar_multivolume_single_file.part2.rar" << QStringList{} << QByteArray();
    QTest::newRow("rar5 stored") << "test_read_format_rar5_stored.rar" << QStringList{"helloworld.txt"} << QByteArray();
    QTest::newRow("rar5 files") << "test_read_format_rar5_multiple_files.rar"
                                << QStringList{"test1.bin", "test2.bin", "test3.bin", "test4.bin"} << QByteArray();
    QTest::newRow("rar5 solid") << "test_read_format_rar5_multiple_files_solid.rar"
                                << QStringList{"test1.bin", "test2.bin", "test3.bin", "test4.bin"} << QByteArray();
    QTest::newRow("rar5 unicode") << "test_read_format_rar5_unicode.rar"
                                  << QStringList{"👋🌎.txt", "Ⓗⓐⓡⓓ Ⓛⓘⓝⓚ.txt", "𝒮𝓎𝓂𝒷𝑜𝓁𝒾𝒸 𝐿𝒾𝓃𝓀.txt"} << QByteArray();
    QTest::newRow("rar5 symlink") << "test_read_format_rar5_symlink.rar"
                                  << QStringList{"file.txt", "symlink.txt", "dirlink", "dir"} << QByteArray();
    QTest::newRow("rar5 win32") << "test_read_format_rar5_win32.rar"
                                << QStringList{"testdir", "test.bin", "test1.bin", "test2.bin", "test3.bin",
                                               "test4.bin", "test5.bin", "test6.bin"}
                                << QByteArray();
    QTest::newRow("rar5 encrypted data") << "test_read_format_rar5_encrypted.rar"
                                         << QStringList{"a.txt", "b.txt", "c.txt", "d.txt"} << QByteArray();
    QTest::newRow("rar5 encrypted headers") << "test_read_format_rar5_encrypted_filenames.rar" << QStringList{}
                                            << headerPassword;
    QTest::newRow("rar5 volumes") << "test_read_format_rar5_multiarchive_solid.part01.rar"
                                  << QStringList{"cebula.txt", "test.bin", "test1.bin", "test2.bin", "test3.bin",
                                                 "test4.bin", "test5.bin", "test6.bin", "elf-Linux-ARMv7-ls"}
                                  << QByteArray();
    QTest::newRow("rar5 later volume") << "test_read_format_rar5_multiarchive_solid.part04.rar" << QStringList{}
                                       << QByteArray();
    QTest::newRow("zip folders") << "test_compat_zip_6.zip"
                                 << QStringList{"New Folder/New Folder/", "New Folder/New Folder/New Text Document.txt"}
                                 << QByteArray();
    QTest::newRow("zip utf-8") << "test_read_format_zip_filename_utf8_jp.zip"
                               << QStringList{"表だよ/", "表だよ/一覧表.txt", "表だよ/漢字.txt"} << QByteArray();
    QTest::newRow("zip mixed") << "test_read_format_zip_filename_utf8_ru2.zip"
                               << QStringList{QString::fromUtf8("\xef\xbf\xbd").repeated(6), "привет"}
                               << QByteArray();
    QTest::newRow("zip cp437") << "test_read_format_zip_7075_utf8_paths.zip"
                               << QStringList{"File 1.txt", "File 2 - \ufffd.txt", "File 3 - \ufffd.txt",
                                              "File 4 - \ufffd.txt"}
                               // Local headers whose names differ from the central directory's.
                               << QByteArray("error -103 with zipfile in unzOpenCurrentFilePassword\n").repeated(3);
    QTest::newRow("zip64") << "test_read_format_zip_zip64a.zip" << QStringList{"-"} << QByteArray();
    QTest::newRow("zip malformed") << "test_read_format_zip_malformed1.zip" << QStringList{}
                                   << QByteArray("Cannot open %s or %s.zip\n");
    QTest::newRow("jar") << "test_read_format_zip_jar.jar" << QStringList{} << QByteArray();
}

void ArchiveFixturesTest::entryNames()
{
    QFETCH(QString, archive);
    QFETCH(QStringList, entries);
    QFETCH(QByteArray, output);
    const QString path = fixture(archive);
    const bool isZip = archive.endsWith(".zip");

    StdoutCapture capture;
    QList<TFileInfo> hits;
    const TSearchOptions options = archiveOptions({"*"});
    searchArchive(path, hits, &options);
    QByteArray out = capture.finish();

    QStringList expected;
    for (const QString &entry : entries)
        expected.append(archive + sep() + QDir::toNativeSeparators(entry));
    QCOMPARE(hitNames(hits), expected);
    // Following volumes are announced as they are opened.
    QByteArray volumes;
    if (archive.contains("part1") || archive.contains("part01")) {
        const int count = archive.contains("rar5") ? 4 : 3;
        for (int i = 2; i <= count; ++i) {
            QString next = path;
            next.replace(archive.contains("rar5") ? "part01" : "part1",
                         archive.contains("rar5") ? QString("part0%1").arg(i) : QString("part%1").arg(i));
            volumes += "\n  ... volume " + QFile::encodeName(next) + "\n";
        }
    }
    QCOMPARE(out, volumes + QByteArray(output).replace("%s", QFile::encodeName(path)));
    Q_UNUSED(isZip);
}

void ArchiveFixturesTest::rarContents_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("start");

    const QByteArray doctype = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">";
    QTest::newRow("rar4 stored") << "test_read_format_rar.rar" << "test.txt" << 20 << QByteArray("test text document");
    QTest::newRow("rar4 in folder") << "test_read_format_rar.rar" << "testdir/test.txt" << 20 << QByteArray("test text document");
    QTest::newRow("rar4 link") << "test_read_format_rar.rar" << "testlink" << 0 << QByteArray();
    QTest::newRow("rar4 unicode") << "test_read_format_rar_unicode.rar" << "abcdefghijklmnopqrsテスト.txt" << 16
                                  << QByteArray("aaaaaaaaaaaaaaa");
    QTest::newRow("rar4 kanji") << "test_read_format_rar_unicode.rar"
                                << "表だよ/漢字長いファイル名long-filename-in-漢字.txt" << 5 << QByteArray("kanji");
    QTest::newRow("rar4 empty") << "test_read_format_rar_unicode.rar"
                                << "表だよ/新しいフォルダ/新規テキスト ドキュメント.txt" << 0 << QByteArray();
    QTest::newRow("rar4 best") << "test_read_format_rar_compress_best.rar" << "LibarchiveAddingTest.html" << 20111 << doctype;
    QTest::newRow("rar4 best copy") << "test_read_format_rar_compress_best.rar" << "testdir/LibarchiveAddingTest.html"
                                    << 20111 << doctype;
    QTest::newRow("rar4 best text") << "test_read_format_rar_compress_best.rar" << "testdir/test.txt" << 20
                                    << QByteArray("test text document");
    QTest::newRow("rar4 encrypted, clear entry") << "test_read_format_rar4_encrypted.rar" << "c.txt" << 18
                                                 << QByteArray("This is from c.txt");
    QTest::newRow("rar4 volumes") << "test_rar_multivolume_single_file.part1.rar" << "LibarchiveAddingTest.html"
                                  << 20111 << doctype;
    QTest::newRow("rar5 stored") << "test_read_format_rar5_stored.rar" << "helloworld.txt" << 29
                                 << QByteArray("hello libarchive test suite!");
    QTest::newRow("rar5 files") << "test_read_format_rar5_multiple_files.rar" << "test3.bin" << 4096 << QByteArray();
    QTest::newRow("rar5 solid") << "test_read_format_rar5_multiple_files_solid.rar" << "test4.bin" << 4096 << QByteArray();
    QTest::newRow("rar5 win32") << "test_read_format_rar5_win32.rar" << "test.bin" << 1200 << QByteArray();
    QTest::newRow("rar5 unicode") << "test_read_format_rar5_unicode.rar" << "👋🌎.txt" << 13 << QByteArray("Hello, world!");
    QTest::newRow("rar5 hard link") << "test_read_format_rar5_unicode.rar" << "Ⓗⓐⓡⓓ Ⓛⓘⓝⓚ.txt" << 13
                                    << QByteArray("Hello, world!");
    QTest::newRow("rar5 symbolic link") << "test_read_format_rar5_unicode.rar" << "𝒮𝓎𝓂𝒷𝑜𝓁𝒾𝒸 𝐿𝒾𝓃𝓀.txt" << 0 << QByteArray();
    QTest::newRow("rar5 symlink set") << "test_read_format_rar5_symlink.rar" << "file.txt" << 5 << QByteArray("1234");
    QTest::newRow("rar5 encrypted, clear entry") << "test_read_format_rar5_encrypted.rar" << "a.txt" << 18
                                                 << QByteArray("This is from a.txt");
    QTest::newRow("rar5 volumes, first") << "test_read_format_rar5_multiarchive_solid.part01.rar" << "cebula.txt" << 814
                                         << QByteArray();
    QTest::newRow("rar5 volumes, split") << "test_read_format_rar5_multiarchive_solid.part01.rar"
                                         << "elf-Linux-ARMv7-ls" << 90808 << QByteArray("\x7f" "ELF");
}

void ArchiveFixturesTest::rarContents()
{
    QFETCH(QString, archive);
    QFETCH(QString, entry);
    QFETCH(int, size);
    QFETCH(QByteArray, start);
    const QByteArray data = extractRarEntry(fixture(archive), entry, temp_.path("tmp/out.tmp"));
    QVERIFY2(!data.isNull(), "the entry was not extracted");
    QCOMPARE(data.size(), size);
    QVERIFY(data.startsWith(start));
}

void ArchiveFixturesTest::zipContents_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("folders") << "test_compat_zip_6.zip" << "New Text Document.txt" << QByteArray("some text") << QByteArray();
    QTest::newRow("utf-8") << "test_read_format_zip_filename_utf8_jp.zip" << "漢字.txt" << QByteArray("kanji") << QByteArray();
    QTest::newRow("cp932") << "test_read_format_zip_filename_cp932.zip" << "*" << QByteArray("kanji") << QByteArray();
    // minizip opens no entry whose local name differs from the central directory's.
    QTest::newRow("cp437") << "test_read_format_zip_7075_utf8_paths.zip" << "File 1.txt" << QByteArray("Test file")
                           << QByteArray("error -103 with zipfile in unzOpenCurrentFilePassword\n").repeated(3);
    QTest::newRow("zip64") << "test_read_format_zip_zip64a.zip" << "-" << QByteArray("file0\n") << QByteArray();
}

void ArchiveFixturesTest::zipContents()
{
    QFETCH(QString, archive);
    QFETCH(QString, pattern);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, output);
    QList<TFileInfo> hits;
    const TSearchOptions options = archiveOptions({pattern}, "x", temp_.path("tmp"));
    StdoutCapture capture;
    searchArchive(fixture(archive), hits, &options);
    QCOMPARE(capture.finish(), output);
    const QByteArray extracted = readFile(temp_.path("tmp/zip.tmp"));
    QVERIFY2(extracted.startsWith(data), extracted.constData());
}

QTEST_GUILESS_MAIN(ArchiveFixturesTest)
#include "test_archivefixtures.moc"
