// From what the user gives to the search. The form's texts to the worker's request: what is
// searched, and which forms are refused with which warning; the name matcher against a plain
// reference, the regular expression Qt builds from the same wildcard pattern; and quorvel-search
// as a user runs it: exit statuses, what goes to which stream, output formats, signals and a
// reader that goes away.

#include "hitprinter.h"
#include "temptree.h"
#include "walk/searchrequest.h"
#include "walk/wildcard.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextCodec>

#include <csignal>

namespace {

#ifdef QUORVEL_SANITIZED
const int rounds = 20000;
#else
const int rounds = 300000;
#endif

QString randomText(QRandomGenerator &random, const QString &alphabet, int maxLength)
{
    QString text;
    for (int i = int(random.bounded(maxLength + 1)); i > 0; --i)
        text += alphabet.at(int(random.bounded(int(alphabet.size()))));
    return text;
}

bool reference(const QString &pattern, const QString &name)
{
    return QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive).match(name).hasMatch();
}

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
    void formsBecomeRequests_data()
    {
        QTest::addColumn<QString>("dirs");   // "@" is a scratch folder holding folder "a" and file "plain.txt"
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");   // refused: the kind and the warning; else roots ("%" the
                                                     // working folder), "names:" patterns, "text:" the text
        const auto row = [](const char *name, const QString &dirs, const QString &names, const QString &text,
                            const QStringList &expected) { QTest::newRow(name) << dirs << names << text << expected; };
        row("names split, trimmed, empty ones dropped", "@/a", " *.doc;;*.txt ", "", {"@/a", "names:*.doc|*.txt", "text:"});
        row("text without names searches everything", "@/a", " ;; ", "foo", {"@/a", "names:*", "text:foo"});
        row("text handed over untrimmed", "@/a", "", " foo ", {"@/a", "names:*", "text: foo "});
        row("blanks alone are no text", "@/a", "a", "  ", {"@/a", "names:a", "text:"});
        row("an empty root part is the working folder", "  @/a;  ", "x", "", {"@/a", "%", "names:x", "text:"});
        row("nothing to search", "@/a", ";", "   ", {"1", "搜索文件请填写：文件名"});
        row("a blank after ';' belongs to the part", "@/a; @/a", "x", "", {"2", "目录名: @/a 不存在"});
        row("missing second root", "@/a;@/missing", "*", "", {"2", "目录名:@/missing 不存在"});
        row("a file is no folder", "@/plain.txt", "*", "", {"3", "@/plain.txt 不是文件夹"});
        row("unclosed bracket", "@/a", "ok;a[b", "", {"4", "文件名:a[b 不是有效的通配符：“[”没有配对的“]”"});
        row("reversed range", "@/a", "[z-a]", "", {"4", "文件名:[z-a] 不是有效的通配符：范围“z-a”两端颠倒"});
    }

    void formsBecomeRequests()
    {
        QFETCH(QString, dirs);
        QFETCH(QString, names);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        TempTree tree;
        tree.dir(QStringLiteral("a"));
        tree.file(QStringLiteral("plain.txt"));
        expected.replaceInStrings(QStringLiteral("@"), tree.root()).replaceInStrings(QStringLiteral("%"), QDir::currentPath());
        SearchForm form;
        form.dirText = dirs.replace(QLatin1Char('@'), tree.root());
        form.nameText = names;
        form.grepText = text;
        SearchRequest request;
        SearchFormError error;
        const bool accepted = assembleSearchRequest(form, request, error);
        QStringList got;
        if (accepted) {
            for (const QDir &root : request.roots)
                got << root.absolutePath();
            got << QStringLiteral("names:") + request.namePatterns.join(QLatin1Char('|'))
                << QStringLiteral("text:") + request.grepText;
        } else {
            got << QString::number(error.kind) << error.text().section(QLatin1Char('\n'), 0, 0);
            QVERIFY(request.roots.isEmpty());
        }
        QCOMPARE(accepted, error.kind == SearchFormError::None);
        QCOMPARE(got, expected);
    }

    void equalsRegularExpressionReference()
    {
        // Letters in both cases, a Kelvin sign (folds to 'k'), a long s (folds to 's'), CJK, and
        // every character the syntax gives a meaning to (no '.' or ':', which would make "[." and
        // "[:" classes of the regular expression).
        const QString nameAlphabet = QStringLiteral("aAbBkKsS-\\!^[]\u212A\u017F中");
        const QString literalAlphabet = nameAlphabet + QStringLiteral("*?");
        const QString setAlphabet = QStringLiteral("abAkK\u212A!^-]\\中");
        QRandomGenerator random(20240611);
        for (int round = 0; round < rounds; ++round) {
            QString pattern;
            for (int part = int(random.bounded(4)); part >= 0; --part) {
                pattern += randomText(random, literalAlphabet, 3);
                if (random.bounded(3) == 0)
                    pattern += QLatin1Char('[') + randomText(random, setAlphabet, 4) + QLatin1Char(']');
            }
            // Qt's conversion ends a "[^" set at the next ']' where a shell takes it as a member.
            if (pattern.contains(QLatin1String("[^]")))
                continue;
            WildcardPattern matcher;
            if (!WildcardPattern::parse(pattern, matcher)) {
                // Refused only where the reference is no valid expression either.
                QVERIFY2(!QRegularExpression::fromWildcard(pattern).isValid(), qPrintable(pattern));
                continue;
            }
            const QString name = randomText(random, nameAlphabet, 8);
            QVERIFY2(matcher.matches(name) == reference(pattern, name),
                     qPrintable(pattern + QLatin1String(" / ") + name));
            QVERIFY2(matcher.matchesBytes(name.toStdString()) == matcher.matches(name), qPrintable(name));
            // The commonest shape, letters with stars around, has a bytewise path of its own.
            const QString star = QStringLiteral("*");
            const QString shaped = (random.bounded(2) ? star : QString()) + randomText(random, QStringLiteral("abKs.\u212A"), 3)
                                   + (random.bounded(2) ? star : QString());
            const QString asciiName = randomText(random, QStringLiteral("aAbBkKsS."), 8);
            QVERIFY(WildcardPattern::parse(shaped, matcher));
            QVERIFY2(matcher.matchesBytes(asciiName.toStdString()) == reference(shaped, asciiName),
                     qPrintable(shaped + QLatin1String(" / ") + asciiName));
        }
    }

    void edgeCases_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("matches");   // -1: the pattern is refused
        // Named cases: the generated comparison reaches most of them only by chance.
        const auto row = [](const char *why, const char *pattern, const QString &name, int matches) {
            QTest::newRow(why) << QString::fromUtf8(pattern) << name << matches;
        };
        row("negated with !", "[!x]*", "ab", 1);
        row("negated with ^", "[^x]", "X", 0);
        row("backslash is literal", "a\\b", "a\\b", 1);
        row("bracket first in set", "[]]x", "]x", 1);
        row("range ignores case", "[A-C]?", "bz", 1);
        row("empty name", "*", "", 1);
        row("one character beyond 16 bits", "a?b", QStringLiteral("a\U0001F600b"), 1);
        row("kelvin sign folds", "*K*", "k", 1);
        row("unclosed", "[abc", "[abc", -1);
        row("lone bracket", "*[", "*[", -1);
        row("bracket only member", "[]", "[]", -1);
        row("negated nothing", "[!]", "[!]", -1);
        row("reversed range", "[z-a]", "[z-a]", -1);
    }

    void edgeCases()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(int, matches);
        WildcardPattern matcher;
        QString why;
        QCOMPARE(WildcardPattern::parse(pattern, matcher, &why), matches >= 0);
        QCOMPARE(why.isEmpty(), matches >= 0);
        // Within a list of patterns, bytes on disk; a refused pattern matches nothing, not even itself.
        QCOMPARE(NameMatcher({QStringLiteral("nothing"), pattern}).matchesBytes(name.toStdString()), matches == 1);
        if (matches >= 0)
            QCOMPARE(matcher.matches(name), matches == 1);
    }

    void manyStarsStayCheap()
    {
        // 3,000 stars once took seconds and hundreds of megabytes to build.
        const QString pattern = QString(3000, QLatin1Char('*')) + QStringLiteral("a*b");
        WildcardPattern matcher;
        QVERIFY(WildcardPattern::parse(pattern, matcher));
        QVERIFY(!matcher.matches(QString(3000, QLatin1Char('a'))));
        QVERIFY(matcher.matches(QString(3000, QLatin1Char('a')) + QLatin1Char('b')));
    }
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
        QTest::newRow("text, archives not read") << QStringList{"-d", "@/R", "-t", "mutex", "--no-archives"} << 0
                                                 << "@/R/sub/b.txt:2:*" << "";
        QTest::newRow("blank name") << QStringList{"-d", "@", "-n", " ; "} << 2 << "" << "搜索文件请填写：文件名\n";
        QTest::newRow("unknown option") << QStringList{"--no-such-option"} << 2 << "" << "";
        QTest::newRow("stray argument") << QStringList{"-n", "x", "stray"} << 2 << "" << "";
        // Text inside files; the GBK line shows as UTF-8 reads it unless deep search names the codec.
        const QString gbkLine = QString::fromUtf8(QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("操作系统 mutex")));
        QTest::newRow("text") << QStringList{"-d", "@/R", "-t", "mutex"} << 0 << "@/R/sub/b.txt:2:" + gbkLine + "\n" << "";
        QTest::newRow("text, -R") << QStringList{"-d", "@/R", "-t", "mutex", "-R"} << 1 << "" << "";
        QTest::newRow("text, -i") << QStringList{"-d", "@/R", "-t", "mutex", "-i"} << 0
                                  << "@/R/sub/b.txt:2:" + gbkLine + "\n@/R/a.txt:2:the Mutex\n" << "";
        QTest::newRow("text, -D") << QStringList{"-d", "@/R", "-t", "操作系统", "-D"} << 0
                                  << "@/R/sub/b.txt:2:[GBK]\t操作系统 mutex\n" << "";
        QTest::newRow("text, no -D") << QStringList{"-d", "@/R", "-t", "操作系统"} << 1 << "" << "";
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
