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
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

const QByteArray header = le32(20) + le32(0) + le32(0) + le32(0) + le32(1);

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
    void packedListRoundTrips()
    {
        const QStringList paths{QStringLiteral("/t/a b.txt"), QStringLiteral("/t/中.txt")};
        const QByteArray packed = packFileList(paths);
        QCOMPARE(packed, QByteArray("/t/a b.txt\0/t/\xe4\xb8\xad.txt\0", 22));
        QCOMPARE(unpackFileList(packed.constData(), int(packed.size())), paths);
        QCOMPARE(unpackFileList(nullptr, 0), QStringList());
    }

    void dropBlocks_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("copy");
        QTest::newRow("two files to move") << QStringList{"/t/a.txt", "/t/b.txt"} << false;
        QTest::newRow("nothing to copy") << QStringList{} << true;
        // Chinese, Cyrillic and an emoji: no single narrow code page holds them all.
        QTest::newRow("any character") << QStringList{QStringLiteral("/t/文件-файл-\U0001F600.txt")} << true;
    }

    // Header, the list in UTF-16 with one zero character after each path, then zeros to the end
    // of a block of 2 * length + 28 bytes: the first of them is the list's second terminator.
    void dropBlocks()
    {
        QFETCH(QStringList, paths);
        QFETCH(bool, copy);
        const QByteArray packed = packFileList(paths);
        const FileDropBlocks blocks = buildFileDropBlocks(packed.constData(), int(packed.size()), copy);
        QByteArray list;
        for (const QString &path : paths)
            list += utf16le(path) + QByteArray(2, '\0');
        const int size = 2 * int(packed.size()) + 28;
        QCOMPARE(blocks.drop, header + list + QByteArray(size - 20 - list.size(), '\0'));
        QVERIFY(size - 20 - list.size() >= 2);
        QCOMPARE(blocks.effect, le32(copy ? 1 : 2));
    }

    void neverWritesPastTheList()
    {
        const QByteArray packed = packFileList({QStringLiteral("/a")});
        const FileDropBlocks blocks = buildFileDropBlocks(packed.constData(), int(packed.size()), true, boastingWiden);
        QCOMPARE(blocks.drop, header + utf16le(QStringLiteral("xxx")) + QByteArray(8, '\0'));
    }

    void mimeData_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QByteArray>("uris");   // the URLs, one a line
        QTest::addColumn<QString>("text");
        QTest::newRow("cut two") << QStringList{"/t/a.txt", "/t/b.txt"} << false
                                 << QByteArray("file:///t/a.txt\nfile:///t/b.txt") << "/t/a.txt\n/t/b.txt";
        QTest::newRow("copy, names as URLs") << QStringList{"/t/a b#1%/中.txt"} << true
                                             << QByteArray("file:///t/a%20b%231%25/%E4%B8%AD.txt") << "/t/a b#1%/中.txt";
        // A hit in the root folder is "/" + "/" + name, which must not become a host.
        QTest::newRow("doubled separator") << QStringList{"//etc/x"} << true << QByteArray("file:///etc/x") << "/etc/x";
        QTest::newRow("nothing") << QStringList{} << true << QByteArray() << "";
    }

    void mimeData()
    {
        QFETCH(QStringList, paths);
        QFETCH(bool, copy);
        QFETCH(QByteArray, uris);
        QFETCH(QString, text);
        std::unique_ptr<QMimeData> data(buildFileDropMimeData(paths, copy));
        QVERIFY(data->hasFormat(QStringLiteral("text/uri-list")));
        QByteArray uriList = uris;
        if (!uriList.isEmpty())
            uriList.replace('\n', "\r\n").append("\r\n");
        QCOMPARE(data->data(QStringLiteral("text/uri-list")), uriList);
        QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")), (copy ? "copy\n" : "cut\n") + uris);
        QCOMPARE(data->hasFormat(QStringLiteral("application/x-kde-cutselection")), !copy);
        if (!copy)
            QCOMPARE(data->data(QStringLiteral("application/x-kde-cutselection")), QByteArray("1"));
        QVERIFY(data->hasText());
        QCOMPARE(data->text(), text);
        QCOMPARE(localFileUrl(QStringLiteral("/a//b/")), QUrl(QStringLiteral("file:///a/b/")));
    }
};

QTEST_GUILESS_MAIN(TestClipboardDrop)
#include "test_clipboarddrop.moc"
