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

namespace {

QStringList run(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(QUORVEL_SEARCH_BIN), args);
    if (!process.waitForFinished(60000))
        qFatal("quorvel-search did not finish");
    QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

} // namespace

void ContentCliTest::textAndDeepSearchWorkEndToEnd()
{
    TempTree tree;
    tree.file(QStringLiteral("a.txt"), "one\r\nthe Mutex\r\n");
    tree.file(QStringLiteral("sub/b.txt"), encodeWith("GBK", QStringLiteral("第一行\n操作系统 mutex\n")));
    const QString root = tree.root();

    QCOMPARE(run({QStringLiteral("-d"), root, QStringLiteral("-t"), QStringLiteral("mutex")}),
             (QStringList{root + QStringLiteral("/sub/b.txt:2:")
                          + QString::fromUtf8(encodeWith("GBK", QStringLiteral("操作系统 mutex")))}));
    QCOMPARE(run({QStringLiteral("-d"), root, QStringLiteral("-t"), QStringLiteral("mutex"), QStringLiteral("-i")}).size(), 2);
    QCOMPARE(run({QStringLiteral("-d"), root, QStringLiteral("-t"), QStringLiteral("操作系统"), QStringLiteral("-D")}),
             (QStringList{root + QStringLiteral("/sub/b.txt:2:[GBK]\t操作系统 mutex")}));
    QCOMPARE(run({QStringLiteral("-d"), root, QStringLiteral("-t"), QStringLiteral("操作系统")}), QStringList());
}

QTEST_GUILESS_MAIN(ContentCliTest)
#include "test_contentcli.moc"
