// quorvel-search as a user runs it: exit statuses, what goes to which stream, output formats,
// signals and a reader that goes away.

#include "hitprinter.h"
#include "temptree.h"

#include <QProcess>
#include <QTextCodec>

#include <csignal>

namespace {

// True once the process has its handler for `signalNumber` in place (its bit in SigCgt).
bool catchesSignal(qint64 pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ull << (signalNumber - 1));
    }
    return false;
}
} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    // What the end-to-end rows below cannot reach: names that would break lines or the terminal,
    // characters JSON must escape, and names that cannot be shown.
    void hitFormats()
    {
        QCOMPARE(HitPrinter::formatLines(QStringLiteral("/d"), {TFileInfo{"forged\nfake\x1b[2J", 0, ""}}),
                 QByteArray("/d/forged\\x0afake\\x1b[2J\n"));
        QCOMPARE(HitPrinter::formatLines(QStringLiteral("/"), {TFileInfo{"x", 7, "t"}}), QByteArray("/x:7:t\n"));
        QByteArray out;
        HitPrinter::appendJsonString(out, QStringLiteral("a\"b\\c\td\ne\x01中"));
        QCOMPARE(out, QByteArray("\"a\\\"b\\\\c\\td\\ne\\u0001中\""));
        QVERIFY(HitPrinter::formatJson(QStringLiteral("/d"), {TFileInfo{"caf\ufffd", 0, "", "/d/caf\xe9"}})
                    .contains("\"path_base64\":\"" + QByteArray("/d/caf\xe9").toBase64() + '"'));
    }

    void statusAndStreams_data()
    {
        QTest::addColumn<QStringList>("args");   // "@" is the tree; the working folder is @/R
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expectedOut");   // exact, or a beginning when it ends in '*'
        QTest::addColumn<QString>("expectedErr");   // a part of it
        QTest::newRow("found, children first") << QStringList{"-d", "@/R", "-n", "here"} << 0
                                               << "@/R/sub/here.md\n@/R/here.txt\n" << "";
        QTest::newRow("JSON, an object a batch, keys in order") << QStringList{"-d", "@/R", "-n", "here", "--json"} << 0
            << "{\"dir\":\"@/R/sub\",\"hits\":[{\"name\":\"here.md\",\"line\":0,\"text\":\"\"}]}\n"
               "{\"dir\":\"@/R\",\"hits\":[{\"name\":\"here.txt\",\"line\":0,\"text\":\"\"}]}\n" << "";
        QTest::newRow("-R stays in the root") << QStringList{"-d", "@/R", "-n", "here.md", "-R"} << 1 << "" << "";
        QTest::newRow("-e matches whole names") << QStringList{"-d", "@/R", "-n", "here", "-e"} << 1 << "" << "";
        QTest::newRow("no -d: the working folder") << QStringList{"-n", "here.txt"} << 0 << "@/R/here.txt\n" << "";
        QTest::newRow("empty parts: the working folder once") << QStringList{"-d", ";", "-n", "here.txt", "-R"} << 0
                                                              << "@/R/here.txt\n" << "";
        QTest::newRow("diagnostics off the hit stream") << QStringList{"-d", "@/R", "-n", "broken.rar", "-e"} << 0
                                                        << "@/R/broken.rar\n" << "is not RAR archive";
        QTest::newRow("blank name") << QStringList{"-d", "@", "-n", " ; "} << 2 << "" << "搜索文件请填写：文件名\n";
        QTest::newRow("unknown option") << QStringList{"--no-such-option"} << 2 << "" << "";
        QTest::newRow("stray argument") << QStringList{"-n", "x", "stray"} << 2 << "" << "";
        // Text inside files; the GBK line shows as UTF-8 reads it unless deep search names the codec.
        const QString gbkLine = QString::fromUtf8(QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("操作系统 mutex")));
        QTest::newRow("text") << QStringList{"-d", "@/R", "-t", "mutex"} << 0 << "@/R/sub/b.txt:2:" + gbkLine + "\n" << "";
        QTest::newRow("text, -i") << QStringList{"-d", "@/R", "-t", "mutex", "-i"} << 0
                                  << "@/R/sub/b.txt:2:" + gbkLine + "\n@/R/a.txt:2:the Mutex\n" << "";
        QTest::newRow("text, -D") << QStringList{"-d", "@/R", "-t", "操作系统", "-D"} << 0
                                  << "@/R/sub/b.txt:2:[GBK]\t操作系统 mutex\n" << "";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: *" << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "quorvel-search *" << "";
    }

    void statusAndStreams()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, expectedOut);
        QFETCH(QString, expectedErr);
        TempTree tree;
        tree.file("R/here.txt");
        tree.file("R/sub/here.md");
        tree.file("R/broken.rar", "this is no archive");
        tree.file("R/a.txt", "one\r\nthe Mutex\r\n");
        tree.file("R/sub/b.txt", QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("第一行\n操作系统 mutex\n")));
        args.replaceInStrings(QStringLiteral("@"), tree.root());
        QProcess run;
        run.setWorkingDirectory(tree.path("R"));
        run.start(QStringLiteral(QUORVEL_SEARCH_BIN), args);
        QVERIFY(run.waitForFinished(60000) && run.exitStatus() == QProcess::NormalExit);
        QCOMPARE(run.exitCode(), status);
        const QByteArray out = run.readAllStandardOutput(), err = run.readAllStandardError();
        const QByteArray expected = expectedOut.replace(QLatin1Char('@'), tree.root()).toUtf8();
        if (expected.endsWith('*'))
            QVERIFY2(out.startsWith(expected.chopped(1)), out.constData());
        else
            QCOMPARE(out, expected);
        QVERIFY2(err.contains(expectedErr.replace(QLatin1Char('@'), tree.root()).toUtf8()), err.constData());
    }

    void signalsStopCleanly_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("Ctrl-C") << int(SIGINT);
        QTest::newRow("terminate") << int(SIGTERM);
        QTest::newRow("hang-up") << int(SIGHUP);
    }

    // A signal stops the search, removes the private extraction folder and ends with 128 + its number.
    void signalsStopCleanly()
    {
        QFETCH(int, signalNumber);
        TempTree tree;
        tree.file("R/a/match.txt", "needle\n");
        // A sparse file far too large to read in the time the test takes.
        QFile huge(tree.file("R/z/huge.bin"));
        QVERIFY(huge.open(QIODevice::ReadWrite) && huge.resize(qint64(1) << 40));
        huge.close();
        const QString tmpdir = tree.dir("clitmp");
        QProcess process;   // TMPDIR holds the search's private extraction folder
        process.setEnvironment(QProcess::systemEnvironment() << "TMPDIR=" + tmpdir);
        process.start(QStringLiteral(QUORVEL_SEARCH_BIN), {"-d", tree.path("R"), "-t", "needle"});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(catchesSignal(process.processId(), signalNumber), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(tmpdir).isEmpty(), 10000);
        ::kill(pid_t(process.processId()), signalNumber);
        if (!process.waitForFinished(20000)) {
            process.kill();
            QFAIL("the signal did not stop the search");
        }
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signalNumber);
        const QByteArray out = process.readAllStandardOutput();
        QVERIFY(out.isEmpty() || out.endsWith('\n'));   // no half-written line
        QVERIFY2(QDir(tmpdir).isEmpty(), "the private extraction folder was left behind");
    }

    // A reader that goes away early (`| head -1`) ends the search: status 0, no message, no folder left.
    void closedOutputEndsQuietly()
    {
        TempTree tree;
        for (int i = 0; i < 3000; ++i)
            tree.file(QStringLiteral("R/d%1/a-file-name-long-enough-to-fill-the-pipe-%2.txt").arg(i % 10).arg(i));
        const QString tmpdir = tree.dir("clitmp");
        QProcess shell;
        shell.setEnvironment(QProcess::systemEnvironment() << "TMPDIR=" + tmpdir);
        shell.start("bash", {"-c", "\"$0\" -d \"$1\" -n txt | head -1; echo \"status ${PIPESTATUS[0]}\"",
                             QStringLiteral(QUORVEL_SEARCH_BIN), tree.path("R")});
        QVERIFY(shell.waitForFinished(60000));
        const QList<QByteArray> lines = shell.readAllStandardOutput().split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines.at(0).endsWith(".txt"));
        QCOMPARE(lines.at(1), QByteArray("status 0"));
        QCOMPARE(shell.readAllStandardError(), QByteArray());
        QVERIFY2(QDir(tmpdir).isEmpty(), "the private extraction folder was left behind");
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "test_cli.moc"
