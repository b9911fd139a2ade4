#include "commandquoting.h"
#include "keyfiletext.h"

#include <QTest>

class TestKeyFileText : public QObject
{
    Q_OBJECT

private slots:
    void buildsNewFileGroupByGroup();
    void changesOnlyTheLineOfADifferentValue();
    void sameValueChangesNothing();
    void newKeyGoesAfterTheGroupsLastEntry();
    void keysOfOtherGroupsAndLocalesAreNotConfused();
    void toleratesBlanksAroundTheSignAndCarriageReturns();
    void quoting_data();
    void quoting();
};

void TestKeyFileText::buildsNewFileGroupByGroup()
{
    KeyFileText text;
    QVERIFY(text.setValue(QStringLiteral("Desktop Entry"), QStringLiteral("Type"), QStringLiteral("Service")));
    QVERIFY(text.setValue(QStringLiteral("Desktop Entry"), QStringLiteral("Actions"), QStringLiteral("a;")));
    QVERIFY(text.setValue(QStringLiteral("Desktop Action a"), QStringLiteral("Name"), QStringLiteral("x")));
    QCOMPARE(text.text(), QStringLiteral("[Desktop Entry]\nType=Service\nActions=a;\n\n"
                                         "[Desktop Action a]\nName=x\n"));
}

void TestKeyFileText::changesOnlyTheLineOfADifferentValue()
{
    const QString before = QStringLiteral("# made by hand\n[Desktop Entry]\nName=old\nExec=a\nX-Mine=1\n");
    KeyFileText text(before);
    QVERIFY(text.setValue(QStringLiteral("Desktop Entry"), QStringLiteral("Name"), QStringLiteral("new")));
    QCOMPARE(text.text(), QStringLiteral("# made by hand\n[Desktop Entry]\nName=new\nExec=a\nX-Mine=1\n"));
}

void TestKeyFileText::sameValueChangesNothing()
{
    const QString before = QStringLiteral("[G]\nA=1\n\n\n[H]\nB=2");
    KeyFileText text(before);
    QVERIFY(!text.setValue(QStringLiteral("G"), QStringLiteral("A"), QStringLiteral("1")));
    QVERIFY(!text.setValue(QStringLiteral("H"), QStringLiteral("B"), QStringLiteral("2")));
    QCOMPARE(text.value(QStringLiteral("H"), QStringLiteral("B")), QStringLiteral("2"));
}

void TestKeyFileText::newKeyGoesAfterTheGroupsLastEntry()
{
    KeyFileText text(QStringLiteral("[G]\nA=1\n\n# about H\n[H]\nB=2\n"));
    QVERIFY(text.setValue(QStringLiteral("G"), QStringLiteral("C"), QStringLiteral("3")));
    QVERIFY(text.setValue(QStringLiteral("I"), QStringLiteral("D"), QStringLiteral("4")));
    QCOMPARE(text.text(), QStringLiteral("[G]\nA=1\nC=3\n\n# about H\n[H]\nB=2\n\n[I]\nD=4\n"));

    KeyFileText headerOnly(QStringLiteral("[G]\n"));
    QVERIFY(headerOnly.setValue(QStringLiteral("G"), QStringLiteral("A"), QStringLiteral("1")));
    QCOMPARE(headerOnly.text(), QStringLiteral("[G]\nA=1\n"));
}

void TestKeyFileText::keysOfOtherGroupsAndLocalesAreNotConfused()
{
    KeyFileText text(QStringLiteral("[A]\nName=a\nName[de]=b\n[B]\n#Name=c\n"));
    QCOMPARE(text.value(QStringLiteral("A"), QStringLiteral("Name")), QStringLiteral("a"));
    QCOMPARE(text.value(QStringLiteral("A"), QStringLiteral("Name[de]")), QStringLiteral("b"));
    QVERIFY(text.value(QStringLiteral("B"), QStringLiteral("Name")).isNull());
    QVERIFY(text.value(QStringLiteral("C"), QStringLiteral("Name")).isNull());
    QVERIFY(text.setValue(QStringLiteral("B"), QStringLiteral("Name"), QStringLiteral("n")));
    QCOMPARE(text.text(), QStringLiteral("[A]\nName=a\nName[de]=b\n[B]\nName=n\n#Name=c\n"));
}

void TestKeyFileText::toleratesBlanksAroundTheSignAndCarriageReturns()
{
    KeyFileText text(QStringLiteral("[G]\r\nA = 1\r\nB=\r\n"));
    QCOMPARE(text.value(QStringLiteral("G"), QStringLiteral("A")), QStringLiteral("1"));
    QCOMPARE(text.value(QStringLiteral("G"), QStringLiteral("B")), QStringLiteral(""));
    QVERIFY(!text.value(QStringLiteral("G"), QStringLiteral("B")).isNull());
    QVERIFY(!text.setValue(QStringLiteral("G"), QStringLiteral("A"), QStringLiteral("1")));
    QVERIFY(!text.setValue(QStringLiteral("G"), QStringLiteral("B"), QString()));
}

void TestKeyFileText::quoting_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("exec");     // desktop-entry argument as it stands in the file
    QTest::addColumn<QString>("shell");    // single-quoted for sh

    QTest::newRow("plain") << QStringLiteral("/usr/bin/quorvel") << QStringLiteral("\"/usr/bin/quorvel\"")
                           << QStringLiteral("'/usr/bin/quorvel'");
    QTest::newRow("blanks") << QStringLiteral("/opt/my apps/朔玳") << QStringLiteral("\"/opt/my apps/朔玳\"")
                            << QStringLiteral("'/opt/my apps/朔玳'");
    QTest::newRow("reserved") << QStringLiteral("/a\"b`c$d%e")
                              << QStringLiteral("\"/a\\\\\"b\\\\`c\\\\$d%%e\"")
                              << QStringLiteral("'/a\"b`c$d%e'");
    // A literal backslash takes four in a desktop file.
    QTest::newRow("backslash") << QStringLiteral("/a\\b") << QStringLiteral("\"/a\\\\\\\\b\"")
                               << QStringLiteral("'/a\\b'");
    QTest::newRow("single quote") << QStringLiteral("/it's") << QStringLiteral("\"/it's\"")
                                  << QStringLiteral("'/it'\\''s'");
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

QTEST_GUILESS_MAIN(TestKeyFileText)
#include "test_keyfiletext.moc"
