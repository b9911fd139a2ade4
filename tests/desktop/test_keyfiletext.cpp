// Key files edited line by line, the quoting of the commands they hold, and the Explorer verbs
// written through a registry kept in memory.
#include "commandquoting.h"
#include "contextmenutext.h"
#include "explorerverbs.h"
#include "keyfiletext.h"

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
        writes.append(keyPath.section(QLatin1Char('\\'), 1) + QLatin1String(" = ") + value);
    }
    QMap<QString, QString> values;
    QStringList writes;
};

} // namespace

class TestKeyFileText : public QObject
{
    Q_OBJECT

private slots:
    void setValue_data();
    void setValue();
    void valuesOfGroupsAndLocales();
    void quoting_data();
    void quoting();
    void explorerVerbsAreWrittenWhereTheyDiffer();
};

void TestKeyFileText::setValue_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("settings");   // group/key=value, one a line
    QTest::addColumn<QString>("after");      // empty: unchanged
    QTest::newRow("new file, group by group") << "" << "Desktop Entry/Type=Service\nDesktop Entry/Actions=a;\nDesktop Action a/Name=x"
        << "[Desktop Entry]\nType=Service\nActions=a;\n\n[Desktop Action a]\nName=x\n";
    QTest::newRow("only the line that differs") << "# by hand\n[G]\nName=old\nExec=a\nX-Mine=1\n" << "G/Name=new"
        << "# by hand\n[G]\nName=new\nExec=a\nX-Mine=1\n";
    QTest::newRow("same values") << "[G]\nA=1\n\n\n[H]\nB=2" << "G/A=1\nH/B=2" << "";
    QTest::newRow("blanks around the sign, CRLF") << "[G]\r\nA = 1\r\nB=\r\n" << "G/A=1\nG/B=" << "";
    QTest::newRow("after the group's last entry") << "[G]\nA=1\n\n# about H\n[H]\nB=2\n" << "G/C=3\nI/D=4"
        << "[G]\nA=1\nC=3\n\n# about H\n[H]\nB=2\n\n[I]\nD=4\n";
    QTest::newRow("header only") << "[G]\n" << "G/A=1" << "[G]\nA=1\n";
    QTest::newRow("not a commented key") << "[A]\nName=a\nName[de]=b\n[B]\n#Name=c\n" << "B/Name=n"
        << "[A]\nName=a\nName[de]=b\n[B]\nName=n\n#Name=c\n";
}

void TestKeyFileText::setValue()
{
    QFETCH(QString, before);
    QFETCH(QString, settings);
    QFETCH(QString, after);
    KeyFileText text(before);
    bool changed = false;
    for (const QString &setting : settings.split(QLatin1Char('\n'))) {
        const QString group = setting.section(QLatin1Char('/'), 0, 0);
        const QString key = setting.section(QLatin1Char('/'), 1).section(QLatin1Char('='), 0, 0);
        changed |= text.setValue(group, key, setting.section(QLatin1Char('='), 1));
    }
    QCOMPARE(changed, !after.isEmpty());
    if (changed)
        QCOMPARE(text.text(), after);
}

void TestKeyFileText::valuesOfGroupsAndLocales()
{
    const KeyFileText text(QStringLiteral("[A]\nName=a\nName[de]=b\nE=\n[B]\n#Name=c\n"));
    QCOMPARE(text.value(QStringLiteral("A"), QStringLiteral("Name")), QStringLiteral("a"));
    QCOMPARE(text.value(QStringLiteral("A"), QStringLiteral("Name[de]")), QStringLiteral("b"));
    QVERIFY(!text.value(QStringLiteral("A"), QStringLiteral("E")).isNull());
    QVERIFY(text.value(QStringLiteral("B"), QStringLiteral("Name")).isNull());
    QVERIFY(text.value(QStringLiteral("C"), QStringLiteral("Name")).isNull());
}

void TestKeyFileText::quoting_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("exec");    // desktop-entry argument as it stands in the file
    QTest::addColumn<QString>("shell");   // single-quoted for sh
    QTest::newRow("blanks") << "/opt/my apps/朔玳" << "\"/opt/my apps/朔玳\"" << "'/opt/my apps/朔玳'";
    QTest::newRow("reserved") << "/a\"b`c$d%e" << "\"/a\\\\\"b\\\\`c\\\\$d%%e\"" << "'/a\"b`c$d%e'";
    QTest::newRow("backslash takes four") << "/a\\b" << "\"/a\\\\\\\\b\"" << "'/a\\b'";
    QTest::newRow("single quote") << "/it's" << "\"/it's\"" << "'/it'\\''s'";
}

void TestKeyFileText::quoting()
{
    QFETCH(QString, raw);
    QFETCH(QString, exec);
    QFETCH(QString, shell);
    QCOMPARE(escapeKeyFileString(quoteExecArgument(raw)), exec);
    QCOMPARE(quoteShellArgument(raw), shell);
    QCOMPARE(escapeKeyFileString(QStringLiteral("a\nb\tc\\")), QStringLiteral("a\\nb\\tc\\\\"));
}

// Both verbs on a first start, in order; nothing when nothing differs (either separator); a
// copy elsewhere rewrites the commands only; a hand-edited text is set back; other keys stay.
void TestKeyFileText::explorerVerbsAreWrittenWhereTheyDiffer()
{
    MemoryRegistryStore store;
    store.values.insert(QStringLiteral("HKEY_CLASSES_ROOT\\Folder\\shell\\other"), QStringLiteral("x"));
    writeExplorerVerbs(store, QStringLiteral("C:/Program Files/朔玳 1.2/quorvel.exe"));
    QCOMPARE(store.writes, (QStringList{
        "Folder\\shell\\quorvel\\command = \"C:\\Program Files\\朔玳 1.2\\quorvel.exe\"  \"%1\"",
        "Folder\\shell\\quorvel = 深度搜索...",
        "Directory\\Background\\shell\\quorvel\\command = \"C:\\Program Files\\朔玳 1.2\\quorvel.exe\"",
        "Directory\\Background\\shell\\quorvel = 深度搜索..."}));
    QCOMPARE(contextMenuText(), QStringLiteral("深度搜索..."));
    store.writes.clear();
    writeExplorerVerbs(store, QStringLiteral("C:\\Program Files\\朔玳 1.2\\quorvel.exe"));
    QCOMPARE(store.writes, QStringList());
    store.values[QStringLiteral("HKEY_CLASSES_ROOT\\Directory\\Background\\shell\\quorvel")] = QStringLiteral("Search");
    writeExplorerVerbs(store, QStringLiteral("E:/copy/quorvel.exe"));
    QCOMPARE(store.writes, (QStringList{"Folder\\shell\\quorvel\\command = \"E:\\copy\\quorvel.exe\"  \"%1\"",
                                        "Directory\\Background\\shell\\quorvel\\command = \"E:\\copy\\quorvel.exe\"",
                                        "Directory\\Background\\shell\\quorvel = 深度搜索..."}));
    QCOMPARE(store.values.size(), 5);
}

QTEST_GUILESS_MAIN(TestKeyFileText)
#include "test_keyfiletext.moc"
