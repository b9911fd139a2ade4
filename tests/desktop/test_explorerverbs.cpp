#include "contextmenuregistration.h"
#include "explorerverbs.h"

#include <QMap>
#include <QTest>

namespace {

// The registry's default values in memory, with a log of every write.
class MemoryRegistryStore : public RegistryStore
{
public:
    QString defaultValue(const QString &keyPath) override { return values.value(keyPath); }
    void setDefaultValue(const QString &keyPath, const QString &value) override
    {
        values.insert(keyPath, value);
        writes.append(keyPath + QLatin1String(" = ") + value);
    }

    QMap<QString, QString> values;
    QStringList writes;
};

const QString folderVerb = QStringLiteral("HKEY_CLASSES_ROOT\\Folder\\shell\\quorvel");
const QString folderCommand = QStringLiteral("HKEY_CLASSES_ROOT\\Folder\\shell\\quorvel\\command");
const QString backgroundVerb = QStringLiteral("HKEY_CLASSES_ROOT\\Directory\\Background\\shell\\quorvel");
const QString backgroundCommand =
    QStringLiteral("HKEY_CLASSES_ROOT\\Directory\\Background\\shell\\quorvel\\command");
const QString menuText = QStringLiteral("深度搜索...");

} // namespace

class TestExplorerVerbs : public QObject
{
    Q_OBJECT

private slots:
    void firstStartWritesBothVerbsInOrder();
    void laterStartFromTheSamePathWritesNothing();
    void copyAtAnotherPathRewritesTheCommandsOnly();
    void handEditedTextIsSetBack();
    void otherValuesStay();
};

void TestExplorerVerbs::firstStartWritesBothVerbsInOrder()
{
    QCOMPARE(contextMenuText(), menuText);
    MemoryRegistryStore store;
    writeExplorerVerbs(store, QStringLiteral("C:/Program Files/朔玳 1.2/quorvel.exe"));
    const QStringList expected = {
        folderCommand + QStringLiteral(" = \"C:\\Program Files\\朔玳 1.2\\quorvel.exe\"  \"%1\""),
        folderVerb + QStringLiteral(" = 深度搜索..."),
        backgroundCommand + QStringLiteral(" = \"C:\\Program Files\\朔玳 1.2\\quorvel.exe\""),
        backgroundVerb + QStringLiteral(" = 深度搜索..."),
    };
    QCOMPARE(store.writes, expected);
    QCOMPARE(store.values.size(), 4);
}

void TestExplorerVerbs::laterStartFromTheSamePathWritesNothing()
{
    MemoryRegistryStore store;
    writeExplorerVerbs(store, QStringLiteral("D:/tools/quorvel.exe"));
    store.writes.clear();
    writeExplorerVerbs(store, QStringLiteral("D:/tools/quorvel.exe"));
    // The same path with native separators is the same program.
    writeExplorerVerbs(store, QStringLiteral("D:\\tools\\quorvel.exe"));
    QVERIFY2(store.writes.isEmpty(), qPrintable(store.writes.join(QLatin1Char('\n'))));
}

void TestExplorerVerbs::copyAtAnotherPathRewritesTheCommandsOnly()
{
    MemoryRegistryStore store;
    writeExplorerVerbs(store, QStringLiteral("D:/tools/quorvel.exe"));
    store.writes.clear();
    writeExplorerVerbs(store, QStringLiteral("E:/copy/quorvel.exe"));
    const QStringList expected = {
        folderCommand + QStringLiteral(" = \"E:\\copy\\quorvel.exe\"  \"%1\""),
        backgroundCommand + QStringLiteral(" = \"E:\\copy\\quorvel.exe\""),
    };
    QCOMPARE(store.writes, expected);
    QCOMPARE(store.values.value(folderVerb), menuText);
    QCOMPARE(store.values.value(backgroundVerb), menuText);
}

void TestExplorerVerbs::handEditedTextIsSetBack()
{
    MemoryRegistryStore store;
    writeExplorerVerbs(store, QStringLiteral("D:/tools/quorvel.exe"));
    store.values[backgroundVerb] = QStringLiteral("Search here");
    store.writes.clear();
    writeExplorerVerbs(store, QStringLiteral("D:/tools/quorvel.exe"));
    QCOMPARE(store.writes, QStringList{backgroundVerb + QStringLiteral(" = 深度搜索...")});
}

void TestExplorerVerbs::otherValuesStay()
{
    MemoryRegistryStore store;
    store.values.insert(QStringLiteral("HKEY_CLASSES_ROOT\\Folder\\shell\\other"), QStringLiteral("x"));
    writeExplorerVerbs(store, QStringLiteral("D:/tools/quorvel.exe"));
    QCOMPARE(store.values.value(QStringLiteral("HKEY_CLASSES_ROOT\\Folder\\shell\\other")), QStringLiteral("x"));
    QCOMPARE(store.values.size(), 5);
}

QTEST_GUILESS_MAIN(TestExplorerVerbs)
#include "test_explorerverbs.moc"
