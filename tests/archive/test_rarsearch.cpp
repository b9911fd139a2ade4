#include "archivetesthelpers.h"
#include "archive/rarvolumenames.h"
#include "archive/unrarlayer.h"

#include <string>
#include <vector>

// RAR archives: the UnRAR-shaped reader on its own (records, extraction, the callback
// dialogue), and what the search makes of volumes, passwords and damage.

namespace {

QByteArray lines(int count, int markerLine = 0)
{
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += "rar line " + QByteArray::number(i) + (i == markerLine ? " needle" : "") + "\n";
    return out;
}

QByteArray notices(const QStringList &volumes)
{
    QByteArray out;
    for (const QString &volume : volumes)
        out += "\n  ... volume " + QFile::encodeName(volume) + "\n";
    return out;
}

} // namespace

class RarSearchTest : public QObject
{
    Q_OBJECT

    TempTree tree_;

private slots:
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
};

QTEST_GUILESS_MAIN(RarSearchTest)
#include "test_rarsearch.moc"
