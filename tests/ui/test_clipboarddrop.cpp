// The file list and the clipboard payloads of copy and cut, byte for byte.
#include "filedropblocks.h"
#include "filedropmimedata.h"
#include "localfileurl.h"

#include <QMimeData>
#include <QTest>

#include <memory>

namespace {

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xff);
    return b;
}

QByteArray utf16le(const QString &text)
{
    QByteArray b;
    for (QChar c : text) {
        b += char(c.unicode() & 0xff);
        b += char(c.unicode() >> 8);
    }
    return b;
}

QByteArray header()
{
    return le32(20) + le32(0) + le32(0) + le32(0) + le32(1);
}

// Records what the builder hands to its widening step.
struct WidenCall
{
    QByteArray bytes;
    int capacity = -1;
};
WidenCall lastWiden;

int recordingWiden(const char *bytes, int length, char16_t *out, int capacity)
{
    lastWiden = WidenCall{QByteArray(bytes, length), capacity};
    return widenUtf8(bytes, length, out, capacity);
}

// Claims to have written more than it may; the builder must not believe it.
int boastingWiden(const char *, int, char16_t *out, int capacity)
{
    for (int i = 0; i < capacity; ++i)
        out[i] = u'x';
    return capacity + 100;
}

} // namespace

class TestClipboardDrop : public QObject
{
    Q_OBJECT

private slots:
    void packsEachPathWithOneZeroByte();
    void unpacksWhatWasPacked();
    void dropBlockForTwoFilesToMove();
    void emptyDropToCopy();
    void dropBlockKeepsCharactersOutsideAnyCodePage();
    void widensTheWholeListAtOnce();
    void neverWritesPastTheList();
    void mimeDataForCut();
    void mimeDataForCopy();
    void emptyMimeDataStillDescribesADrop();
    void mimeDataEncodesNamesAsUrls();
    void urlsOfDoubledSeparators();
};

void TestClipboardDrop::packsEachPathWithOneZeroByte()
{
    QCOMPARE(packFileList({}), QByteArray());
    QCOMPARE(packFileList({QStringLiteral("/t/a.txt"), QStringLiteral("/t/中.txt")}),
             QByteArray("/t/a.txt\0/t/\xe4\xb8\xad.txt\0", 20));
}

void TestClipboardDrop::unpacksWhatWasPacked()
{
    const QStringList paths{QStringLiteral("/t/a b.txt"), QStringLiteral("/t/中.txt"), QStringLiteral("/x")};
    const QByteArray packed = packFileList(paths);
    QCOMPARE(unpackFileList(packed.constData(), int(packed.size())), paths);
    QCOMPARE(unpackFileList(nullptr, 0), QStringList());
}

void TestClipboardDrop::dropBlockForTwoFilesToMove()
{
    const QByteArray packed = packFileList({QStringLiteral("/t/a.txt"), QStringLiteral("/t/b.txt")});
    QCOMPARE(packed.size(), 18);
    const FileDropBlocks blocks = buildFileDropBlocks(packed.constData(), int(packed.size()), false);

    QCOMPARE(blocks.drop.size(), 2 * 18 + 28);
    const QByteArray list = utf16le(QStringLiteral("/t/a.txt")) + QByteArray(2, '\0')
                            + utf16le(QStringLiteral("/t/b.txt")) + QByteArray(2, '\0');
    // Header, the list with one zero character after each path, then zeros: the first of
    // them is the list's second terminator.
    const QByteArray expected = header() + list + QByteArray(2 * 18 + 28 - 20 - list.size(), '\0');
    QCOMPARE(expected.size(), 2 * 18 + 28);
    QCOMPARE(blocks.drop, expected);
    QCOMPARE(blocks.effect, le32(2));
}

void TestClipboardDrop::emptyDropToCopy()
{
    const FileDropBlocks blocks = buildFileDropBlocks(nullptr, 0, true);
    QCOMPARE(blocks.drop, header() + QByteArray(8, '\0'));
    QCOMPARE(blocks.effect, le32(1));
}

void TestClipboardDrop::dropBlockKeepsCharactersOutsideAnyCodePage()
{
    // Chinese, Cyrillic and an emoji in one name: no single narrow code page holds them all.
    const QString path = QStringLiteral("/t/文件-файл-\U0001F600.txt");
    const QByteArray packed = packFileList({path});
    const FileDropBlocks blocks = buildFileDropBlocks(packed.constData(), int(packed.size()), true);
    QCOMPARE(blocks.drop.size(), 2 * packed.size() + 28);
    const QByteArray list = utf16le(path) + QByteArray(2, '\0');
    QCOMPARE(blocks.drop.left(20 + list.size()), header() + list);
    QCOMPARE(blocks.drop.mid(20 + list.size()), QByteArray(blocks.drop.size() - 20 - list.size(), '\0'));
    QVERIFY(blocks.drop.size() - 20 - list.size() >= 4);
}

void TestClipboardDrop::widensTheWholeListAtOnce()
{
    const QByteArray packed = packFileList({QStringLiteral("/a"), QStringLiteral("/b")});
    buildFileDropBlocks(packed.constData(), int(packed.size()), true, recordingWiden);
    QCOMPARE(lastWiden.bytes, packed);   // zero bytes included, converted with the rest
    QCOMPARE(lastWiden.capacity, int(packed.size()));
}

void TestClipboardDrop::neverWritesPastTheList()
{
    const QByteArray packed = packFileList({QStringLiteral("/a")});
    const FileDropBlocks blocks = buildFileDropBlocks(packed.constData(), int(packed.size()), true, boastingWiden);
    QCOMPARE(blocks.drop.size(), 2 * 3 + 28);
    QCOMPARE(blocks.drop.mid(20, 6), utf16le(QStringLiteral("xxx")));
    QCOMPARE(blocks.drop.mid(26), QByteArray(8, '\0'));
}

void TestClipboardDrop::mimeDataForCut()
{
    std::unique_ptr<QMimeData> data(buildFileDropMimeData(
        {QStringLiteral("/t/a.txt"), QStringLiteral("/t/b.txt")}, false));
    QStringList formats = data->formats();
    formats.sort();
    QCOMPARE(formats, QStringList({QStringLiteral("application/x-kde-cutselection"),
                                   QStringLiteral("text/plain"), QStringLiteral("text/uri-list"),
                                   QStringLiteral("x-special/gnome-copied-files")}));
    QCOMPARE(data->data(QStringLiteral("text/uri-list")), QByteArray("file:///t/a.txt\r\nfile:///t/b.txt\r\n"));
    QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")),
             QByteArray("cut\nfile:///t/a.txt\nfile:///t/b.txt"));
    QCOMPARE(data->data(QStringLiteral("application/x-kde-cutselection")), QByteArray("1"));
    QCOMPARE(data->text(), QStringLiteral("/t/a.txt\n/t/b.txt"));
    QCOMPARE(data->urls(), QList<QUrl>({QUrl(QStringLiteral("file:///t/a.txt")),
                                        QUrl(QStringLiteral("file:///t/b.txt"))}));
}

void TestClipboardDrop::mimeDataForCopy()
{
    std::unique_ptr<QMimeData> data(buildFileDropMimeData({QStringLiteral("/t/a.txt")}, true));
    QVERIFY(!data->hasFormat(QStringLiteral("application/x-kde-cutselection")));
    QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")), QByteArray("copy\nfile:///t/a.txt"));
    QCOMPARE(data->data(QStringLiteral("text/uri-list")), QByteArray("file:///t/a.txt\r\n"));
    QCOMPARE(data->text(), QStringLiteral("/t/a.txt"));
}

void TestClipboardDrop::emptyMimeDataStillDescribesADrop()
{
    std::unique_ptr<QMimeData> data(buildFileDropMimeData({}, true));
    QVERIFY(data->hasFormat(QStringLiteral("text/uri-list")));
    QCOMPARE(data->data(QStringLiteral("text/uri-list")), QByteArray());
    QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")), QByteArray("copy\n"));
    QVERIFY(data->hasText());
    QCOMPARE(data->text(), QString());
}

void TestClipboardDrop::mimeDataEncodesNamesAsUrls()
{
    std::unique_ptr<QMimeData> data(buildFileDropMimeData({QStringLiteral("/t/a b#1%/中.txt")}, true));
    QCOMPARE(data->data(QStringLiteral("text/uri-list")),
             QByteArray("file:///t/a%20b%231%25/%E4%B8%AD.txt\r\n"));
    QCOMPARE(data->text(), QStringLiteral("/t/a b#1%/中.txt"));
}

void TestClipboardDrop::urlsOfDoubledSeparators()
{
    // A hit in the root folder: "/" + "/" + name.
    QCOMPARE(localFileUrl(QStringLiteral("//etc/x")), QUrl(QStringLiteral("file:///etc/x")));
    QCOMPARE(localFileUrl(QStringLiteral("//etc/x")).host(), QString());
    QCOMPARE(localFileUrl(QStringLiteral("/a//b/")), QUrl(QStringLiteral("file:///a/b/")));
    std::unique_ptr<QMimeData> data(buildFileDropMimeData({QStringLiteral("//etc/x")}, true));
    QCOMPARE(data->data(QStringLiteral("text/uri-list")), QByteArray("file:///etc/x\r\n"));
    QCOMPARE(data->text(), QStringLiteral("/etc/x"));
}

QTEST_GUILESS_MAIN(TestClipboardDrop)
#include "test_clipboarddrop.moc"
