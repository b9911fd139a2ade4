#include "hitprinter.h"
#include "temptree.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <csignal>

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    void jsonStringsAreEscaped();
    void linesAreFullPathsGrepStyle();
    void jsonHasOneObjectPerBatch();
    void exitStatusTellsWhetherAnythingWasFound();
    void badInputExitsTwoWithTheWarning();
    void diagnosticsStayOffTheHitStream();
    void helpAndVersion();
    void signalsStopCleanly_data();
    void signalsStopCleanly();
    void closedOutputEndsQuietly();
};

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run runCli(const QStringList &args, const QString &workingDir = QString())
{
    QProcess process;
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(QStringLiteral(QUORVEL_SEARCH_BIN), args);
    if (!process.waitForFinished(60000))
        qFatal("quorvel-search did not finish");
    return Run{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
               process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace

void CliTest::jsonStringsAreEscaped()
{
    QByteArray out;
    HitPrinter::appendJsonString(out, QStringLiteral("a\"b\\c\td\ne\x01中"));
    QCOMPARE(out, QByteArray("\"a\\\"b\\\\c\\td\\ne\\u0001中\""));
    const QByteArray batch = HitPrinter::formatJson(QStringLiteral("/d"),
                                                    {TFileInfo{"x", 3, "[UTF-8]\tline"}, TFileInfo{"y", 0, ""}});
    QCOMPARE(batch, QByteArray("{\"dir\":\"/d\",\"hits\":[{\"name\":\"x\",\"line\":3,\"text\":\"[UTF-8]\\tline\"},"
                               "{\"name\":\"y\",\"line\":0,\"text\":\"\"}]}\n"));
}

void CliTest::linesAreFullPathsGrepStyle()
{
    QCOMPARE(HitPrinter::formatLines(QStringLiteral("/d"), {TFileInfo{"x", 0, ""}, TFileInfo{"y", 7, "some text"}}),
             QByteArray("/d/x\n/d/y:7:some text\n"));
    QCOMPARE(HitPrinter::formatLines(QStringLiteral("/"), {TFileInfo{"x", 0, ""}}), QByteArray("/x\n"));
}

void CliTest::jsonHasOneObjectPerBatch()
{
    TempTree tree;
    tree.file("R/sub/quote\"tab\tname.txt");
    tree.file("R/top.txt");
    const Run run = runCli({"-d", tree.path("R"), "-n", "*.txt", "--json"});
    QCOMPARE(run.status, 0);
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QJsonParseError error;
    const QJsonObject first = QJsonDocument::fromJson(lines.at(0), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(first.value("dir").toString(), tree.path("R/sub"));
    const QJsonObject hit = first.value("hits").toArray().at(0).toObject();
    QCOMPARE(hit.value("name").toString(), QStringLiteral("quote\"tab\tname.txt"));
    QCOMPARE(hit.value("line").toInt(-1), 0);
    QCOMPARE(hit.value("text").toString(), QString());
    QCOMPARE(QJsonDocument::fromJson(lines.at(1)).object().value("dir").toString(), tree.path("R"));
    // Keys in the documented order.
    QVERIFY(lines.at(1).startsWith("{\"dir\":"));
    QVERIFY(lines.at(1).contains("{\"name\":\"top.txt\",\"line\":0,\"text\":\"\"}"));
}

void CliTest::exitStatusTellsWhetherAnythingWasFound()
{
    TempTree tree;
    tree.file("R/here.txt");
    tree.file("R/sub/here.md");
    Run run = runCli({"-d", tree.path("R"), "-n", "here"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, (tree.path("R/sub/here.md") + "\n" + tree.path("R/here.txt") + "\n").toUtf8());
    QCOMPARE(runCli({"-d", tree.path("R"), "-n", "absent"}).status, 1);
    // -R stays in the root; -e matches whole names.
    QCOMPARE(runCli({"-d", tree.path("R"), "-n", "here.md", "-R"}).status, 1);
    QCOMPARE(runCli({"-d", tree.path("R"), "-n", "here", "-e"}).status, 1);
    // Without -d the current directory is searched; an empty part of DIRS is it too (once).
    QCOMPARE(runCli({"-n", "here.txt"}, tree.path("R")).out, (tree.path("R/here.txt") + "\n").toUtf8());
    QCOMPARE(runCli({"-d", ";", "-n", "here.txt", "-R"}, tree.path("R")).out,
             (tree.path("R/here.txt") + "\n").toUtf8());
}

void CliTest::badInputExitsTwoWithTheWarning()
{
    TempTree tree;
    Run run = runCli({"-d", tree.root(), "-n", " ; "});
    QCOMPARE(run.status, 2);
    QVERIFY(run.err.startsWith(QStringLiteral("搜索文件请填写：文件名\n").toUtf8()));
    run = runCli({"-d", tree.root() + ";" + tree.path("missing"), "-n", "x"});
    QCOMPARE(run.status, 2);
    QCOMPARE(run.err.trimmed(), QStringLiteral("目录名:%1 不存在").arg(tree.path("missing")).toUtf8());
    QVERIFY(run.out.isEmpty());
    QCOMPARE(runCli({"--no-such-option"}).status, 2);
    QCOMPARE(runCli({"-n", "x", "stray"}).status, 2);
}

void CliTest::diagnosticsStayOffTheHitStream()
{
    TempTree tree;
    tree.file("R/broken.rar", "this is no archive");
    tree.file("R/broken-match.txt");
    const Run run = runCli({"-d", tree.path("R"), "-n", "broken"});
    QCOMPARE(run.status, 0);
    QList<QByteArray> lines = run.out.split('\n');
    std::sort(lines.begin(), lines.end());
    QCOMPARE(lines, (QList<QByteArray>{"", tree.path("R/broken-match.txt").toUtf8(), tree.path("R/broken.rar").toUtf8()}));
    QVERIFY(run.err.contains("is not RAR archive"));
}

void CliTest::helpAndVersion()
{
    Run run = runCli({"--help"});
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.contains("--json"));
    run = runCli({"--version"});
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.startsWith("quorvel-search "));
}

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

void CliTest::signalsStopCleanly_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("Ctrl-C") << int(SIGINT);
    QTest::newRow("terminate") << int(SIGTERM);
    QTest::newRow("hang-up") << int(SIGHUP);
}

// A signal stops the search, removes the private extraction folder and ends with 128 + its number.
void CliTest::signalsStopCleanly()
{
    QFETCH(int, signalNumber);
    TempTree tree;
    tree.file("R/a/match.txt", "needle\n");
    // A sparse file far too large to read in the time the test takes.
    QFile huge(tree.file("R/z/huge.bin"));
    QVERIFY(huge.open(QIODevice::ReadWrite));
    QVERIFY(huge.resize(qint64(1) << 40));
    huge.close();
    const QString tmpdir = tree.dir("clitmp");

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", tmpdir);
    process.setProcessEnvironment(env);
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
void CliTest::closedOutputEndsQuietly()
{
    TempTree tree;
    for (int i = 0; i < 3000; ++i)
        tree.file(QStringLiteral("R/d%1/a-file-name-long-enough-to-fill-the-pipe-%2.txt").arg(i % 10).arg(i));
    const QString tmpdir = tree.dir("clitmp");
    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", tmpdir);
    shell.setProcessEnvironment(env);
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

QTEST_GUILESS_MAIN(CliTest)
#include "test_cli.moc"
