// Content search through the command line, end to end.

#include "contentcorpus.h"
#include "temptree.h"

#include <QProcess>
#include <QTest>

class ContentCliTest : public QObject
{
    Q_OBJECT

private slots:
    void textAndDeepSearchWorkEndToEnd();
};

void ContentCliTest::textAndDeepSearchWorkEndToEnd()
{
    TempTree tree;
    tree.file(QStringLiteral("a.txt"), "one\r\nthe Mutex\r\n");
    tree.file(QStringLiteral("sub/b.txt"), encodeWith("GBK", QStringLiteral("第一行\n操作系统 mutex\n")));
    const auto run = [&tree](const QString &text, const QString &option) {
        QStringList args{QStringLiteral("-d"), tree.root(), QStringLiteral("-t"), text};
        if (!option.isEmpty())
            args << option;
        QProcess process;
        process.start(QStringLiteral(QUORVEL_SEARCH_BIN), args);
        if (!process.waitForFinished(60000))
            qFatal("quorvel-search did not finish");
        QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines.sort();
        return lines;
    };
    const QString b = tree.root() + QStringLiteral("/sub/b.txt:2:");
    QCOMPARE(run(QStringLiteral("mutex"), QStringLiteral("-R")), QStringList());
    QCOMPARE(run(QStringLiteral("mutex"), QString()), QStringList{b + QString::fromUtf8(encodeWith("GBK", QStringLiteral("操作系统 mutex")))});
    QCOMPARE(run(QStringLiteral("mutex"), QStringLiteral("-i")).size(), 2);
    QCOMPARE(run(QStringLiteral("操作系统"), QStringLiteral("-D")), QStringList{b + QStringLiteral("[GBK]\t操作系统 mutex")});
    QCOMPARE(run(QStringLiteral("操作系统"), QString()), QStringList());
}

QTEST_GUILESS_MAIN(ContentCliTest)
#include "test_contentcli.moc"
