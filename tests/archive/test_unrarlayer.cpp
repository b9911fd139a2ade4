#include "rar4testwriter.h"
#include "temptree.h"
#include "archive/unrarlayer.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <clocale>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The UnRAR-shaped reader on its own: results, records, extraction and the callback dialogue.
class UnrarLayerTest : public QObject
{
    Q_OBJECT

private slots:
    void openResults();
    void headersDescribeEntries();
    void processingWithoutHeaderFails();
    void extractionWritesExactBytes();
    void extractionNeverWritesThroughALink();
    void directoryEntryLeavesADirectory();
    void linkEntriesLeaveEmptyFiles();
    void encryptedEntriesNeedAPassword();
    void volumesAreAnnouncedInOrder();
    void missingVolumeIsAskedFor();
    void callbackMayNameAnotherVolume();
    void laterVolumeSaysSo();
    void processDataCanCancel();
    void namesSurviveTheCLocale();
};

namespace {

struct CallbackCall
{
    unsigned int msg;
    intptr_t p2;
    QString text;
};

// Records the calls and answers as told.
struct Dialogue
{
    std::vector<CallbackCall> calls;
    std::function<int(unsigned int, wchar_t *, intptr_t)> answer;

    static int callback(unsigned int msg, intptr_t userData, intptr_t p1, intptr_t p2)
    {
        auto *self = reinterpret_cast<Dialogue *>(userData);
        QString text;
        if ((msg == UCM_CHANGEVOLUMEW || msg == UCM_NEEDPASSWORDW) && p1)
            text = QString::fromWCharArray(reinterpret_cast<wchar_t *>(p1));
        if (msg != UCM_PROCESSDATA)
            self->calls.push_back({msg, p2, text});
        return self->answer ? self->answer(msg, reinterpret_cast<wchar_t *>(p1), p2) : 0;
    }
};

struct Archive
{
    RAROpenArchiveDataEx data = {};
    void *handle = nullptr;
    std::string path;

    Archive(const QString &file, Dialogue *dialogue = nullptr)
        : path(QFile::encodeName(file).toStdString())
    {
        data.ArcName = &path[0];
        data.OpenMode = RAR_OM_EXTRACT;
        if (dialogue) {
            data.Callback = &Dialogue::callback;
            data.UserData = intptr_t(dialogue);
        }
        handle = RAROpenArchiveEx(&data);
    }
    ~Archive()
    {
        if (handle)
            RARCloseArchive(handle);
    }
    int read(RARHeaderDataEx &header) { return RARReadHeaderEx(handle, &header); }
    int extract(const QString &dest)
    {
        std::string d = QFile::encodeName(dest).toStdString();
        return RARProcessFile(handle, RAR_EXTRACT, nullptr, &d[0]);
    }
    int skip() { return RARProcessFile(handle, RAR_SKIP, nullptr, nullptr); }
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray sample(int size, int seed)
{
    QByteArray out(size, '\0');
    for (int i = 0; i < size; ++i)
        out[i] = char((i * 7 + seed + i / 251) & 0xff);
    return out;
}

QStringList volumePaths(TempTree &tree, const QString &folder, const QList<QByteArray> &volumes)
{
    QStringList paths;
    for (int i = 0; i < volumes.size(); ++i)
        paths.append(tree.file(QString("%1/v.part%2.rar").arg(folder).arg(i + 1), volumes.at(i)));
    return paths;
}

} // namespace

void UnrarLayerTest::openResults()
{
    TempTree tree;
    {
        Archive missing(tree.path("none.rar"));
        QCOMPARE(missing.data.OpenResult, unsigned(ERAR_EOPEN));
        QVERIFY(!missing.handle);
    }
    {
        Archive directory(tree.dir("folder.rar"));
        QCOMPARE(directory.data.OpenResult, unsigned(ERAR_EOPEN));
    }
    {
        Archive text(tree.file("t.rar", "Rar? no, just text"));
        QCOMPARE(text.data.OpenResult, unsigned(ERAR_BAD_ARCHIVE));
        QVERIFY(!text.handle);
    }
    {
        // A ZIP is not a RAR archive either, whatever its name.
        Archive zip(thirdPartyFixtures("libarchive/test_compat_zip_6.zip"));
        QCOMPARE(zip.data.OpenResult, unsigned(ERAR_BAD_ARCHIVE));
    }
    for (const char *name : {"test_read_format_rar4_encrypted_filenames.rar", "test_read_format_rar5_encrypted_filenames.rar"}) {
        Dialogue dialogue;
        Archive headers(thirdPartyFixtures(QString("libarchive/") + name), &dialogue);
        QCOMPARE(headers.data.OpenResult, unsigned(ERAR_MISSING_PASSWORD));
        QVERIFY(!headers.handle);
        QVERIFY(headers.data.Flags & ROADF_ENCHEADERS);
        QCOMPARE(dialogue.calls.size(), size_t(1));
        QCOMPARE(dialogue.calls.front().msg, UCM_NEEDPASSWORDW);
        QVERIFY(dialogue.calls.front().p2 > 0);
    }
    {
        // Just the marker, archive header and end block: an archive without entries.
        Archive empty(tree.file("empty.rar", rar4Archive({})));
        QCOMPARE(empty.data.OpenResult, unsigned(ERAR_SUCCESS));
        RARHeaderDataEx header = {};
        QCOMPARE(empty.read(header), ERAR_END_ARCHIVE);
    }
}

void UnrarLayerTest::headersDescribeEntries()
{
    TempTree tree;
    const QString path = tree.file("h.rar", rar4Archive({{"dir", "", true},
                                                         {"dir/中文.txt", "12345"},
                                                         {"big.bin", sample(70000, 1)},
                                                         {"locked.txt", "xx", false, true}}));
    Archive arc(path);
    QCOMPARE(arc.data.OpenResult, unsigned(ERAR_SUCCESS));
    QCOMPARE(arc.data.Flags, 0u);
    QCOMPARE(arc.data.CmtState, 0u);
    auto header = std::make_unique<RARHeaderDataEx>();
    QCOMPARE(arc.read(*header), ERAR_SUCCESS);
    QCOMPARE(QByteArray(header->ArcName), QFile::encodeName(path));
    QCOMPARE(QString::fromWCharArray(header->ArcNameW), path);
    QCOMPARE(QByteArray(header->FileName), QByteArray("dir"));
    QVERIFY(header->Flags & RHDF_DIRECTORY);
    QCOMPARE(arc.skip(), ERAR_SUCCESS);

    QCOMPARE(arc.read(*header), ERAR_SUCCESS);
    QCOMPARE(QString::fromUtf8(header->FileName), QString("dir/中文.txt"));
    QCOMPARE(QString::fromWCharArray(header->FileNameW), QString("dir/中文.txt"));
    QCOMPARE(header->Flags, 0u);
    QCOMPARE(header->UnpSize, 5u);
    QCOMPARE(arc.skip(), ERAR_SUCCESS);

    QCOMPARE(arc.read(*header), ERAR_SUCCESS);
    QCOMPARE(QByteArray(header->FileName), QByteArray("big.bin"));
    QCOMPARE(header->UnpSize, 70000u);
    QCOMPARE(header->UnpSizeHigh, 0u);
    QCOMPARE(arc.skip(), ERAR_SUCCESS);

    QCOMPARE(arc.read(*header), ERAR_SUCCESS);
    QVERIFY(header->Flags & RHDF_ENCRYPTED);
    QCOMPARE(arc.skip(), ERAR_SUCCESS);

    QCOMPARE(arc.read(*header), ERAR_END_ARCHIVE);
    QCOMPARE(arc.read(*header), ERAR_END_ARCHIVE);
    QVERIFY(arc.skip() != ERAR_SUCCESS);
}

void UnrarLayerTest::processingWithoutHeaderFails()
{
    TempTree tree;
    Archive arc(tree.file("p.rar", rar4Archive({{"a", "1"}})));
    QVERIFY(arc.skip() != ERAR_SUCCESS);
    RARHeaderDataEx header = {};
    QCOMPARE(arc.read(header), ERAR_SUCCESS);
    QCOMPARE(arc.skip(), ERAR_SUCCESS);
    QVERIFY(arc.skip() != ERAR_SUCCESS);
    QCOMPARE(RARReadHeaderEx(nullptr, &header), ERAR_UNKNOWN);
    QCOMPARE(RARProcessFile(nullptr, RAR_SKIP, nullptr, nullptr), ERAR_UNKNOWN);
    QCOMPARE(RARCloseArchive(nullptr), ERAR_SUCCESS);
}

void UnrarLayerTest::extractionWritesExactBytes()
{
    TempTree tree;
    const QByteArray a = sample(200000, 3), b = "short", c;
    Archive arc(tree.file("x.rar", rar4Archive({{"a.bin", a}, {"b.txt", b}, {"c.txt", c}})));
    const QString dest = tree.path("out.tmp");
    tree.file("out.tmp", QByteArray(500000, 'z'));  // longer leftovers are cut away
    RARHeaderDataEx header = {};
    for (const QByteArray &expected : {a, b, c}) {
        QCOMPARE(arc.read(header), ERAR_SUCCESS);
        QCOMPARE(arc.extract(dest), ERAR_SUCCESS);
        QCOMPARE(readFile(dest), expected);
    }
    QCOMPARE(arc.read(header), ERAR_END_ARCHIVE);

    // Testing reads the data and writes nothing.
    Archive again(tree.path("x.rar"));
    QCOMPARE(again.read(header), ERAR_SUCCESS);
    QCOMPARE(RARProcessFile(again.handle, RAR_TEST, nullptr, nullptr), ERAR_SUCCESS);
    // Extraction names its file; a destination folder alone is not offered.
    QCOMPARE(again.read(header), ERAR_SUCCESS);
    std::string folder = QFile::encodeName(tree.root()).toStdString();
    QCOMPARE(RARProcessFile(again.handle, RAR_EXTRACT, &folder[0], nullptr), ERAR_ECREATE);
}

void UnrarLayerTest::extractionNeverWritesThroughALink()
{
    TempTree tree;
    const QString victim = tree.file("victim.txt", "keep me");
    const QString dest = tree.link("out.tmp", victim);
    Archive arc(tree.file("x.rar", rar4Archive({{"a.txt", "new data"}})));
    RARHeaderDataEx header = {};
    QCOMPARE(arc.read(header), ERAR_SUCCESS);
    QCOMPARE(arc.extract(dest), ERAR_SUCCESS);
    QCOMPARE(readFile(victim), QByteArray("keep me"));
    QVERIFY(!QFileInfo(dest).isSymLink());
    QCOMPARE(readFile(dest), QByteArray("new data"));
}

void UnrarLayerTest::directoryEntryLeavesADirectory()
{
    TempTree tree;
    const QString dest = tree.file("out.tmp", "stale data of an earlier entry");
    Archive arc(tree.file("d.rar", rar4Archive({{"d", "", true}, {"f", "after"}})));
    RARHeaderDataEx header = {};
    QCOMPARE(arc.read(header), ERAR_SUCCESS);
    QCOMPARE(arc.extract(dest), ERAR_SUCCESS);
    QVERIFY(QFileInfo(dest).isDir());
    QVERIFY(QDir().rmdir(dest));
    QCOMPARE(arc.read(header), ERAR_SUCCESS);
    QCOMPARE(arc.extract(dest), ERAR_SUCCESS);
    QCOMPARE(readFile(dest), QByteArray("after"));

    // RAR5 directory entries too (libarchive will not read their data).
    Archive rar5(thirdPartyFixtures("libarchive/test_read_format_rar5_win32.rar"));
    QCOMPARE(rar5.read(header), ERAR_SUCCESS);
    QVERIFY(header.Flags & RHDF_DIRECTORY);
    QVERIFY(QFile::remove(dest));
    QCOMPARE(rar5.extract(dest), ERAR_SUCCESS);
    QVERIFY(QFileInfo(dest).isDir());
    QVERIFY(QDir().rmdir(dest));
    QCOMPARE(rar5.read(header), ERAR_SUCCESS);
    QCOMPARE(QByteArray(header.FileName), QByteArray("test.bin"));
    QCOMPARE(rar5.extract(dest), ERAR_SUCCESS);
    QCOMPARE(QFileInfo(dest).size(), 1200);
}

void UnrarLayerTest::linkEntriesLeaveEmptyFiles()
{
    TempTree tree;
    const QString dest = tree.path("out.tmp");
    Archive arc(thirdPartyFixtures("libarchive/test_read_format_rar5_symlink.rar"));
    RARHeaderDataEx header = {};
    QStringList seen;
    while (arc.read(header) == ERAR_SUCCESS) {
        seen.append(QString::fromUtf8(header.FileName));
        QCOMPARE(arc.extract(dest), ERAR_SUCCESS);
        const QFileInfo out(dest);
        QVERIFY(!out.isSymLink());
        if (seen.last() == "symlink.txt" || seen.last() == "dirlink") {
            QVERIFY(out.isFile());
            QCOMPARE(out.size(), 0);
        }
        if (out.isDir())
            QVERIFY(QDir().rmdir(dest));
    }
    QCOMPARE(seen, QStringList({"file.txt", "symlink.txt", "dirlink", "dir"}));
}

void UnrarLayerTest::encryptedEntriesNeedAPassword()
{
    TempTree tree;
    const QString dest = tree.path("out.tmp");
    for (const char *name : {"test_read_format_rar4_encrypted.rar", "test_read_format_rar5_encrypted.rar"}) {
        Dialogue dialogue;
        Archive arc(thirdPartyFixtures(QString("libarchive/") + name), &dialogue);
        QCOMPARE(arc.data.OpenResult, unsigned(ERAR_SUCCESS));
        RARHeaderDataEx header = {};
        QStringList contents;
        while (arc.read(header) == ERAR_SUCCESS) {
            const QString entry = QString::fromUtf8(header.FileName);
            const bool locked = entry == "b.txt" || entry == "d.txt";
            QCOMPARE(bool(header.Flags & RHDF_ENCRYPTED), locked);
            if (locked) {
                QCOMPARE(arc.extract(dest), ERAR_MISSING_PASSWORD);
            } else {
                QCOMPARE(arc.extract(dest), ERAR_SUCCESS);
                contents.append(QString::fromLatin1(readFile(dest)));
            }
        }
        QCOMPARE(contents, QStringList({"This is from a.txt", "This is from c.txt"}));
        QCOMPARE(dialogue.calls.size(), size_t(2));
        QCOMPARE(dialogue.calls.at(0).msg, UCM_NEEDPASSWORDW);
    }
}

void UnrarLayerTest::volumesAreAnnouncedInOrder()
{
    TempTree tree;
    const QByteArray data = sample(50000, 9);
    const QStringList paths = volumePaths(tree, "set", rar4Volumes({{"data.bin", data}, {"last.txt", "end"}}, {16000, true, true}));
    QCOMPARE(paths.size(), 4);
    Dialogue dialogue;
    Archive arc(paths.first(), &dialogue);
    QVERIFY(arc.data.Flags & ROADF_VOLUME);
    QVERIFY(arc.data.Flags & ROADF_FIRSTVOLUME);
    RARHeaderDataEx header = {};
    QCOMPARE(arc.read(header), ERAR_SUCCESS);
    QVERIFY(header.Flags & RHDF_SPLITAFTER);
    QCOMPARE(arc.extract(tree.path("out.tmp")), ERAR_SUCCESS);
    QCOMPARE(readFile(tree.path("out.tmp")), data);
    QCOMPARE(arc.read(header), ERAR_SUCCESS);
    QCOMPARE(QByteArray(header.FileName), QByteArray("last.txt"));
    // Entries in later volumes keep the name of the archive that was opened.
    QCOMPARE(QByteArray(header.ArcName), QFile::encodeName(paths.first()));
    QCOMPARE(arc.extract(tree.path("out.tmp")), ERAR_SUCCESS);
    QCOMPARE(arc.read(header), ERAR_END_ARCHIVE);
    QStringList announced;
    for (const CallbackCall &call : dialogue.calls) {
        QCOMPARE(call.msg, UCM_CHANGEVOLUMEW);
        QCOMPARE(call.p2, RAR_VOL_NOTIFY);
        announced.append(call.text);
    }
    QCOMPARE(announced, paths.mid(1));
}

void UnrarLayerTest::missingVolumeIsAskedFor()
{
    TempTree tree;
    const QByteArray data = sample(30000, 5);
    const QList<QByteArray> volumes = rar4Volumes({{"data.bin", data}}, {12000, true, true});
    QCOMPARE(volumes.size(), 3);
    const QString first = tree.file("m/v.part1.rar", volumes.at(0));
    tree.file("m/v.part3.rar", volumes.at(2));
    const QString second = tree.path("m/v.part2.rar");

    // Given up: the extraction fails as a volume that cannot be opened.
    {
        Dialogue dialogue;
        dialogue.answer = [](unsigned int msg, wchar_t *, intptr_t mode) {
            return msg == UCM_CHANGEVOLUMEW && mode == RAR_VOL_ASK ? -1 : 0;
        };
        Archive arc(first, &dialogue);
        RARHeaderDataEx header = {};
        QCOMPARE(arc.read(header), ERAR_SUCCESS);
        QCOMPARE(arc.extract(tree.path("out.tmp")), ERAR_EOPEN);
        QCOMPARE(dialogue.calls.size(), size_t(1));
        QCOMPARE(dialogue.calls.front().p2, RAR_VOL_ASK);
        QCOMPARE(dialogue.calls.front().text, second);
    }
    // Tried again after the volume has turned up.
    {
        Dialogue dialogue;
        int asked = 0;
        dialogue.answer = [&](unsigned int msg, wchar_t *, intptr_t mode) {
            if (msg == UCM_CHANGEVOLUMEW && mode == RAR_VOL_ASK && ++asked == 2)
                tree.file("m/v.part2.rar", volumes.at(1));
            return asked > 5 ? -1 : 0;
        };
        Archive arc(first, &dialogue);
        RARHeaderDataEx header = {};
        QCOMPARE(arc.read(header), ERAR_SUCCESS);
        QCOMPARE(arc.extract(tree.path("out.tmp")), ERAR_SUCCESS);
        QCOMPARE(readFile(tree.path("out.tmp")), data);
        QCOMPARE(asked, 2);
    }
}

void UnrarLayerTest::callbackMayNameAnotherVolume()
{
    TempTree tree;
    const QByteArray data = sample(30000, 6);
    const QList<QByteArray> volumes = rar4Volumes({{"data.bin", data}}, {12000, true, true});
    const QString first = tree.file("n/v.part1.rar", volumes.at(0));
    Dialogue dialogue;
    int asked = 0;
    dialogue.answer = [&](unsigned int msg, wchar_t *name, intptr_t mode) {
        if (msg != UCM_CHANGEVOLUMEW || mode != RAR_VOL_ASK)
            return 0;
        if (++asked > 1)
            return -1;
        // The rest of the set was renamed; it goes on by the new name's numbering.
        tree.file("n/moved/w.part2.rar", volumes.at(1));
        tree.file("n/moved/w.part3.rar", volumes.at(2));
        const std::wstring moved = tree.path("n/moved/w.part2.rar").toStdWString();
        std::wcscpy(name, moved.c_str());
        return 0;
    };
    Archive arc(first, &dialogue);
    RARHeaderDataEx header = {};
    QCOMPARE(arc.read(header), ERAR_SUCCESS);
    QCOMPARE(arc.extract(tree.path("out.tmp")), ERAR_SUCCESS);
    QCOMPARE(readFile(tree.path("out.tmp")), data);
    QStringList notified;
    for (const CallbackCall &call : dialogue.calls) {
        if (call.p2 == RAR_VOL_NOTIFY)
            notified.append(call.text);
    }
    QCOMPARE(notified, QStringList({tree.path("n/moved/w.part2.rar"), tree.path("n/moved/w.part3.rar")}));
}

void UnrarLayerTest::laterVolumeSaysSo()
{
    TempTree tree;
    const QStringList paths = volumePaths(tree, "later", rar4Volumes({{"data.bin", sample(30000, 2)}}, {12000, true, true}));
    Archive later(paths.at(1));
    QCOMPARE(later.data.OpenResult, unsigned(ERAR_SUCCESS));
    QVERIFY(later.data.Flags & ROADF_VOLUME);
    QVERIFY(!(later.data.Flags & ROADF_FIRSTVOLUME));

    // Sets from before the first-volume flag: a later volume starts inside a file.
    const QStringList old = volumePaths(tree, "old", rar4Volumes({{"data.bin", sample(30000, 2)}}, {12000, true, false}));
    Archive oldFirst(old.at(0));
    QVERIFY(oldFirst.data.Flags & ROADF_FIRSTVOLUME);
    Archive oldLater(old.at(1));
    QVERIFY(!(oldLater.data.Flags & ROADF_FIRSTVOLUME));

    for (const char *name : {"test_rar_multivolume_single_file.part2.rar", "test_read_format_rar5_multiarchive_solid.part03.rar"}) {
        Archive fixture(thirdPartyFixtures(QString("libarchive/") + name));
        QCOMPARE(fixture.data.Flags & (ROADF_VOLUME | ROADF_FIRSTVOLUME), ROADF_VOLUME);
    }
    for (const char *name : {"test_rar_multivolume_single_file.part1.rar", "test_read_format_rar5_multiarchive_solid.part01.rar"}) {
        Archive fixture(thirdPartyFixtures(QString("libarchive/") + name));
        QCOMPARE(fixture.data.Flags & (ROADF_VOLUME | ROADF_FIRSTVOLUME), ROADF_VOLUME | ROADF_FIRSTVOLUME);
    }
}

void UnrarLayerTest::processDataCanCancel()
{
    TempTree tree;
    Archive probe(tree.file("c.rar", rar4Archive({{"big", sample(1 << 20, 4)}})));
    RARHeaderDataEx header = {};
    QCOMPARE(probe.read(header), ERAR_SUCCESS);
    int pieces = 0;
    Dialogue dialogue;
    dialogue.answer = [&](unsigned int msg, wchar_t *, intptr_t) { return msg == UCM_PROCESSDATA && ++pieces == 2 ? -1 : 0; };
    Archive arc(tree.path("c.rar"), &dialogue);
    QCOMPARE(arc.read(header), ERAR_SUCCESS);
    QVERIFY(arc.extract(tree.path("out.tmp")) != ERAR_SUCCESS);
    QCOMPARE(pieces, 2);
    QVERIFY(QFileInfo(tree.path("out.tmp")).size() < (1 << 20));
}

void UnrarLayerTest::namesSurviveTheCLocale()
{
    const QByteArray saved = setlocale(LC_ALL, nullptr);
    setlocale(LC_ALL, "C");
    QStringList names;
    {
        Archive arc(thirdPartyFixtures("libarchive/test_read_format_rar_unicode.rar"));
        RARHeaderDataEx header = {};
        while (arc.read(header) == ERAR_SUCCESS) {
            names.append(QString::fromWCharArray(header.FileNameW));
            QCOMPARE(QString::fromUtf8(header.FileName), names.last());
            arc.skip();
        }
    }
    setlocale(LC_ALL, saved.constData());
    QCOMPARE(names, QStringList({"表だよ/新しいフォルダ/新規テキスト ドキュメント.txt",
                                 "表だよ/漢字長いファイル名long-filename-in-漢字.txt", "表だよ/新しいフォルダ", "表だよ",
                                 "表だよ/ファイル", "abcdefghijklmnopqrsテスト.txt"}));
}

QTEST_GUILESS_MAIN(UnrarLayerTest)
#include "test_unrarlayer.moc"
