#include "archivetesthelpers.h"
#include "stoppedthread.h"

#include <QFileInfo>
#include <QTest>

namespace {

void addKinds()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("zip") << "zip";
    QTest::newRow("rar") << "rar";
}

} // namespace

// What ZIP and RAR archives share, one row per kind, and what only ZIP has.
class ArchiveSearchTest : public QObject
{
    Q_OBJECT

private slots:
    void nameHitsFollowArchiveOrder_data() { addKinds(); }
    void nameHitsFollowArchiveOrder();
    void extractionCopiesEachEntry_data() { addKinds(); }
    void extractionCopiesEachEntry();
    void contentHitsCarryEntryNameAndLine_data() { addKinds(); }
    void contentHitsCarryEntryNameAndLine();
    void stopEndsTheWalk_data() { addKinds(); }
    void stopEndsTheWalk();
    void openFailures_data();
    void openFailures();
    void zipRetriesWithZipSuffix();
    void zipLongEntryNames();

private:
    TempTree tree_;
};

void ArchiveSearchTest::nameHitsFollowArchiveOrder()
{
    QFETCH(QString, suffix);
    const bool zip = suffix == "zip";
    const QList<Rar4TestEntry> entries = {{"sub", "", true}, {"sub/a.txt", "a"}, {"b.TXT", "b"}, {"sub/deeper/c.txt.bak", "c"}};
    const QString docs = "docs." + suffix.toUpper();  // the suffix counts in any case
    const QString path = writeArchive(tree_, suffix + "/names/" + docs, entries);
    ArchiveSearch all({"*"});
    const QList<TFileInfo> hits = all.run(path);
    QCOMPARE(hitNames(hits), QStringList({inArchive({docs, "sub"}) + (zip ? QString(QDir::separator()) : ""),
                                          inArchive({docs, "sub", "a.txt"}), inArchive({docs, "b.TXT"}),
                                          inArchive({docs, "sub", "deeper", "c.txt.bak"})}));
    QVERIFY(hits.first().lineNo == 0 && hits.first().lineText.isEmpty());
    QCOMPARE(all.messages(), QByteArray());
    QCOMPARE(hitNames(ArchiveSearch({"a.txt"}).run(path)), QStringList({inArchive({docs, "sub", "a.txt"})}));
    QCOMPARE(ArchiveSearch({"*.txt*"}).run(path).size(), 3);
    QCOMPARE(ArchiveSearch({"B.txt"}).run(path).size(), 1);
    QCOMPARE(ArchiveSearch({}).run(path).size(), 0);
    // A ZIP directory entry's last part is empty.
    QCOMPARE(ArchiveSearch({"*SUB*"}).run(path).size(), zip ? 0 : 1);
    for (const QString &other : QStringList{"x." + suffix + "x", "x.r00", "x." + suffix + ".bak"})
        QVERIFY(ArchiveSearch({"*"}).run(tree_.file(suffix + "/names/" + other, readFile(path))).isEmpty());
}

void ArchiveSearchTest::extractionCopiesEachEntry()
{
    QFETCH(QString, suffix);
    QByteArray text, binary(70000, '\0');
    for (int i = 0; i < 40000; ++i)
        text += "row " + QByteArray::number(i * 7919 % 100003) + " \xe4\xb8\xad\r\n";
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 131 + i / 7) & 0xff);
    const QString temp = tree_.dir(suffix + "/extract/tmp"), extracted = temp + "/" + suffix + ".tmp";
    const QString path = writeArchive(tree_, suffix + "/extract/e." + suffix,
                                      {{"big.txt", text}, {"empty.txt", ""}, {"bin/b.bin", binary}, {"folder", "", true}});
    tree_.file(suffix + "/extract/tmp/" + suffix + ".tmp", QByteArray(200000, 'z'));  // longer leftovers go
    for (const auto &[name, data] : {std::pair{"big.txt", text}, {"b.bin", binary}, {"empty.txt", QByteArray()}}) {
        ArchiveSearch({name}, "needle", temp).run(path);
        QVERIFY(QFileInfo(extracted).isFile());
        QCOMPARE(readFile(extracted), data);
    }
    // A RAR directory entry leaves a directory at the name, which the next extraction replaces;
    // a ZIP one is never extracted.
    ArchiveSearch all({"*"}, "x", temp);
    all.run(path);
    QCOMPARE(all.messages(), QByteArray());
    QCOMPARE(QFileInfo(extracted).isDir(), suffix == "rar");
    QCOMPARE(readFile(extracted), suffix == "zip" ? binary : QByteArray());
    ArchiveSearch({"big.txt"}, "x", temp).run(path);
    QCOMPARE(readFile(extracted), text);
}

void ArchiveSearchTest::contentHitsCarryEntryNameAndLine()
{
    QFETCH(QString, suffix);
    const QString path = writeArchive(tree_, suffix + "/content/c." + suffix,
                                      {{"sub", "", true}, {"sub/a.txt", "line 1\nline 2\nline 3 needle\nline 4\n"},
                                       {"b.txt", "nothing\n"}, {"c.txt", "needle first\r\nsecond\r\nneedle third"}});
    const QString a = inArchive({"c." + suffix, "sub", "a.txt"}), c = inArchive({"c." + suffix, "c.txt"});
    ArchiveSearch search({"*"}, "needle", tree_.dir(suffix + "/content/tmp"));
    QCOMPARE(search.run(path), QList<TFileInfo>({{a, 3, "line 3 needle"}, {c, 1, "needle first"}, {c, 3, "needle third"}}));
    QCOMPARE(search.messages(), QByteArray());
}

void ArchiveSearchTest::stopEndsTheWalk()
{
    QFETCH(QString, suffix);
    const QString temp = tree_.dir(suffix + "/stop/tmp");
    const QString path = writeArchive(tree_, suffix + "/stop/s." + suffix, {{"a.txt", "a"}, {"b.txt", "b"}});
    QList<TFileInfo> hits;
    ArchiveSearch names({"*"}), content({"*"}, "a", temp);
    runOnStoppedThread([&] { hits += names.run(path) + content.run(path); });
    QCOMPARE(names.messages() + content.messages(), QByteArray());
    QVERIFY(hits.isEmpty());
    QVERIFY(!QFileInfo::exists(temp + "/" + suffix + ".tmp"));
}

void ArchiveSearchTest::openFailures_data()
{
    // What stands at the archive's path; the diagnostic with %s for the path.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("output");
    const QByteArray zipFailed = "Cannot open %s or %s.zip\n";
    QTest::newRow("zip text") << "t.zip" << QByteArray("just text\n") << zipFailed;
    QTest::newRow("zip empty file") << "e.zip" << QByteArray("") << zipFailed;
    QTest::newRow("zip missing") << "m.zip" << QByteArray() << zipFailed;
    QTest::newRow("zip folder") << "f.zip" << QByteArray("/") << zipFailed;
    QTest::newRow("zip cut") << "c.zip" << QByteArray("PK\x03\x04\x14\0\0\0\x08\0", 10) << zipFailed;
    QTest::newRow("zip no entries") << "n.zip" << QByteArray("none") << QByteArray();
    QTest::newRow("rar text") << "t.rar" << QByteArray("Rar? no, just text") << QByteArray("\n%s is not RAR archive");
    QTest::newRow("rar empty file") << "e.rar" << QByteArray("") << QByteArray("\n%s is not RAR archive");
    QTest::newRow("rar missing") << "m.rar" << QByteArray() << QByteArray("\nCannot open %s");
    QTest::newRow("rar folder") << "f.rar" << QByteArray("/") << QByteArray("\nCannot open %s");
    QTest::newRow("rar no entries") << "n.rar" << QByteArray("none") << QByteArray();
}

void ArchiveSearchTest::openFailures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, output);
    const QString path = tree_.path("open/" + name);
    if (content == "/")
        tree_.dir("open/" + name);
    else if (content == "none")  // an archive without entries
        writeArchive(tree_, "open/" + name, {});
    else if (!content.isNull())
        tree_.file("open/" + name, content);
    ArchiveSearch search({"*"}, "a", tree_.dir("open/tmp"));
    QVERIFY(search.run(path).isEmpty());
    QCOMPARE(search.messages(), output.replace("%s", QFile::encodeName(path)));
}

void ArchiveSearchTest::zipRetriesWithZipSuffix()
{
    // x.zip.zip is read when x.zip is no archive.
    const QString retried = tree_.file("retry/x.zip", "not an archive");
    writeArchive(tree_, "retry/x.zip.zip", {{"inside.txt", "y"}});
    ArchiveSearch names({"*"});
    QCOMPARE(hitNames(names.run(retried)), QStringList({inArchive({"x.zip", "inside.txt"})}));
    QCOMPARE(names.messages(), QByteArray());
}

void ArchiveSearchTest::zipLongEntryNames()
{
    tree_.dir("names");
    const QByteArray longName = "folder/" + QByteArray(300, 'n') + ".txt";
    const QByteArray longerName = QByteArray(70, 'd') + '/' + QByteArray(1000, 'm') + ".log";
    const QString zip = tree_.path("names/l.zip");
    QVERIFY(writeZip(zip, {{longName, "1"}, {"short.txt", "2"}, {longerName, "3"}}));
    const auto native = [](const QByteArray &name) { return QDir::toNativeSeparators(QString::fromLatin1(name)); };
    QCOMPARE(hitNames(ArchiveSearch({"*"}).run(zip)), QStringList({inArchive({"l.zip", native(longName)}),
                                                                   inArchive({"l.zip", "short.txt"}),
                                                                   inArchive({"l.zip", native(longerName)})}));
}

QTEST_GUILESS_MAIN(ArchiveSearchTest)
#include "test_archivesearch.moc"
