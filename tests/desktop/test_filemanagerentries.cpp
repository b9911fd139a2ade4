// The file managers' entries of free desktops, written into a temporary data folder; their
// commands are run through sh the way the file managers run them.
#include "contextmenuregistration.h"
#include "filemanagerentries.h"
#include "keyfiletext.h"

#include "temptree.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

namespace {

const QString program = QStringLiteral("/opt/quorvel/bin/quorvel");

QStringList allPaths()
{
    return {applicationEntryPath(), dolphinServiceMenuPath(), nemoFolderActionPath(), nemoBackgroundActionPath(),
            nautilusScriptPath()};
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &content)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Inode and modification time: what changes when a file is written again.
QString identity(const QString &path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return QString::number(st.st_ino) + QLatin1Char('@') + QFileInfo(path).lastModified().toString(Qt::ISODateWithMs);
}

QStringList capturedMessages;
void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message) { capturedMessages << message; }

// An Exec value as a launcher reads it: key-file escapes undone ("\s" a blank, "\x" x),
// field codes expanded: "%f" the folder quoted for the shell, "%F" and "%P" the folder
// between double quotes, escaped to fit there (as Nemo does with "Quote=double"), "%%" a
// percent sign; other codes are left as they stand.
QString commandLine(const QString &exec, const QString &folder)
{
    QString escaped = folder, quoted = folder, line;
    for (const char *c : {"\\", "\"", "`", "$"})
        escaped.replace(QLatin1String(c), QLatin1String("\\") + QLatin1String(c));
    quoted = QLatin1Char('\'') + quoted.replace(QLatin1String("'"), QLatin1String("'\\''")) + QLatin1Char('\'');
    escaped = QLatin1Char('"') + escaped + QLatin1Char('"');
    for (int i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        const QChar next = i + 1 < exec.size() ? exec.at(i + 1) : QChar();
        if (c == QLatin1Char('\\') && !next.isNull())
            line += next == QLatin1Char('s') ? QChar(u' ') : next;
        else if (c == QLatin1Char('%') && !next.isNull())
            line += next == QLatin1Char('f')                                 ? quoted
                    : next == QLatin1Char('F') || next == QLatin1Char('P') ? escaped
                    : next == QLatin1Char('%')                               ? QStringLiteral("%")
                                                                             : QString(c) + next;
        else
            line += c;
        i += (c == QLatin1Char('\\') || c == QLatin1Char('%')) && !next.isNull();
    }
    return line;
}

// Runs sh with `arguments` in `workingDir`, with `currentUri` as the folder Nautilus names (none
// when null), and returns the arguments the recording program received.
QStringList runAndRecord(const QStringList &arguments, const QString &record, const QString &workingDir = {},
                         const QString &currentUri = {})
{
    QFile::remove(record);
    QProcess sh;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVEL_RECORD"), record);
    env.remove(QStringLiteral("NAUTILUS_SCRIPT_CURRENT_URI"));
    if (!currentUri.isNull())
        env.insert(QStringLiteral("NAUTILUS_SCRIPT_CURRENT_URI"), currentUri);
    sh.setProcessEnvironment(env);
    sh.setWorkingDirectory(workingDir);
    sh.start(QStringLiteral("/bin/sh"), arguments);
    if (!sh.waitForFinished(30000) || sh.exitCode() != 0)
        return {QStringLiteral("<sh failed: ") + QString::fromUtf8(sh.readAllStandardError()) + QLatin1Char('>')};
    QStringList recorded = QString::fromUtf8(readAll(record)).split(QLatin1Char('\0'));
    recorded.removeLast();
    return recorded;
}

} // namespace

class TestFileManagerEntries : public QObject
{
    Q_OBJECT

private slots:
    void init() { capturedMessages.clear(); }

    void registrationWritesEveryEntryOnce();
    void laterStartsKeepHandMadeLinesAndSetOursBack();
    void commandsReachTheProgramWithBlanksAndSpecialCharacters();
    void unwritableDataFolderIsSilent();
    void installedEntryMatchesTheRegisteredOne();
};

void TestFileManagerEntries::registrationWritesEveryEntryOnce()
{
    TempTree home;
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.root()));
    registerContextMenu(program);
    qputenv("XDG_DATA_HOME", saved);
    QVERIFY(QFile::permissions(home.path(dolphinServiceMenuPath())) & QFile::ExeOwner);
    QVERIFY(QFile::permissions(home.path(nautilusScriptPath())) & QFile::ExeOwner);
    QVERIFY(!(QFile::permissions(home.path(applicationEntryPath())) & QFile::ExeOwner));
    QCOMPARE(nautilusScriptPath(), QStringLiteral("nautilus/scripts/深度搜索..."));

    QMap<QString, QString> before;
    for (const QString &path : allPaths())
        before.insert(path, identity(home.path(path)));
    // A file that lost its execute bit gets it back without being written.
    QFile::setPermissions(home.path(nautilusScriptPath()), QFile::ReadOwner | QFile::WriteOwner);
    QTest::qWait(20);
    writeFileManagerEntries(home.root(), program);
    for (const QString &path : allPaths())
        QVERIFY2(identity(home.path(path)) == before.value(path), qPrintable(path));
    QVERIFY(QFile::permissions(home.path(nautilusScriptPath())) & QFile::ExeOwner);
    QVERIFY(capturedMessages.isEmpty());

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed");
    QProcess check;
    check.start(validator, {home.path(applicationEntryPath())});
    QVERIFY(check.waitForFinished(30000));
    QVERIFY2(check.exitCode() == 0 && check.readAllStandardOutput().isEmpty(), "the validator has remarks");
}

// In key files only our keys are set, where they differ; a copy at another path changes the
// commands only.
void TestFileManagerEntries::laterStartsKeepHandMadeLinesAndSetOursBack()
{
    TempTree home;
    writeFileManagerEntries(home.root(), program);
    const QString dolphin = home.path(dolphinServiceMenuPath());
    const QString application = home.path(applicationEntryPath());
    const QByteArray dolphinBefore = readAll(dolphin);
    const QByteArray applicationBefore = readAll(application);
    QByteArray edited = dolphinBefore;
    edited.replace("Name=深度搜索...\n", "Name = Search here\nName[de]=Tiefensuche\n").prepend("# kept\n").append("\n[X-Mine]\nKey=1\n");
    writeAll(dolphin, edited);
    edited = applicationBefore;
    writeAll(application, edited.replace("MimeType=inode/directory;\n", "").append("NoDisplay=false\n"));

    writeFileManagerEntries(home.root(), QStringLiteral("/elsewhere/quorvel"));
    QByteArray expected = dolphinBefore;
    expected.replace("Name=深度搜索...\n", "Name=深度搜索...\nName[de]=Tiefensuche\n").prepend("# kept\n").append("\n[X-Mine]\nKey=1\n");
    QCOMPARE(readAll(dolphin), expected.replace("\"/opt/quorvel/bin/quorvel\"", "\"/elsewhere/quorvel\""));
    expected = applicationBefore;
    expected.replace("MimeType=inode/directory;\n", "").append("NoDisplay=false\nMimeType=inode/directory;\n");
    QCOMPARE(readAll(application), expected.replace("\"/opt/quorvel/bin/quorvel\"", "\"/elsewhere/quorvel\""));
    QVERIFY(readAll(home.path(nautilusScriptPath())).contains("exec '/elsewhere/quorvel'"));
}

void TestFileManagerEntries::commandsReachTheProgramWithBlanksAndSpecialCharacters()
{
    TempTree tree;
    // The program: a stand-in that records its arguments, at a path that needs quoting.
    const QString fake = tree.dir(QStringLiteral("my programs/朔玳 $HOME `id` \"q\" 'x' 100%F 5%P back\\slash"))
                         + QStringLiteral("/quorvel");
    writeAll(fake, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$QUORVEL_RECORD\"\n");
    QVERIFY(QFile::setPermissions(fake, QFile::permissions(fake) | QFile::ExeOwner));
    const QString folder = tree.dir(QStringLiteral("a folder/with $PATH `x` \"dq\" 'sq' 50% b\\s"));
    const QString record = tree.path(QStringLiteral("record"));
    const QString home = tree.dir(QStringLiteral("home"));
    writeFileManagerEntries(home, fake);

    // Each gets the folder: the selected one, or for Nemo's background entry the open one.
    const struct { QString path, group; } entries[] = {
        {applicationEntryPath(), QStringLiteral("Desktop Entry")},
        {dolphinServiceMenuPath(), QStringLiteral("Desktop Action quorvelDeepSearch")},
        {nemoFolderActionPath(), QStringLiteral("Nemo Action")},
        {nemoBackgroundActionPath(), QStringLiteral("Nemo Action")},
    };
    for (const auto &entry : entries) {
        const QString exec = KeyFileText(QString::fromUtf8(readAll(home + QLatin1Char('/') + entry.path)))
                                 .value(entry.group, QStringLiteral("Exec"));
        QCOMPARE(runAndRecord({QStringLiteral("-c"), commandLine(exec, folder)}, record), QStringList{folder});
    }
    // Nautilus runs the script in the open folder, names it in NAUTILUS_SCRIPT_CURRENT_URI and
    // passes the selected names (or full paths). A selected folder is searched, else the open
    // folder when it is a local one, else nothing.
    const QString script = home + QLatin1Char('/') + nautilusScriptPath();
    const QString parent = QFileInfo(folder).absolutePath();
    const auto uri = [](const QString &dir) { return QUrl::fromLocalFile(dir).toString(QUrl::FullyEncoded); };
    tree.file(QStringLiteral("a folder/plain.txt"));
    QCOMPARE(runAndRecord({script, QFileInfo(folder).fileName()}, record, parent, uri(parent)), QStringList{folder});
    QCOMPARE(runAndRecord({script, folder}, record, tree.root(), uri(tree.root())), QStringList{folder});
    QCOMPARE(runAndRecord({script, QStringLiteral("plain.txt")}, record, parent, uri(parent)), QStringList{parent});
    QCOMPARE(runAndRecord({script}, record, folder, uri(folder)), QStringList{folder});
    QCOMPARE(runAndRecord({script}, record, folder, QStringLiteral("trash:///")), QStringList{});
    QCOMPARE(runAndRecord({script}, record, folder), QStringList{});   // not run by Nautilus
}

// Below a regular file nothing can be made, not even by the superuser; a folder in the place
// of one entry does not stop the others. Nothing is printed.
void TestFileManagerEntries::unwritableDataFolderIsSilent()
{
    TempTree tree;
    const QString blocker = tree.file(QStringLiteral("blocker"), "x");
    tree.file(QStringLiteral("home/") + applicationEntryPath() + QStringLiteral("/inside"), "keep");
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    writeFileManagerEntries(blocker + QStringLiteral("/share"), program);
    writeFileManagerEntries(tree.path(QStringLiteral("home")), program);
    qInstallMessageHandler(previous);
    QVERIFY2(capturedMessages.isEmpty(), qPrintable(capturedMessages.join(QLatin1Char('\n'))));
    QCOMPARE(QFileInfo(blocker).size(), 1);
    QVERIFY(QFileInfo(tree.path(QStringLiteral("home/") + applicationEntryPath())).isDir());
    QVERIFY(QFileInfo::exists(tree.path(QStringLiteral("home/") + nautilusScriptPath())));
}

void TestFileManagerEntries::installedEntryMatchesTheRegisteredOne()
{
    const QString installed = QString::fromUtf8(readAll(QStringLiteral(QUORVEL_DATA_DIR "/quorvel.desktop")));
    const QList<KeyFileValue> values = applicationEntryValues(QStringLiteral("quorvel %f"));
    for (const KeyFileValue &v : values)
        QCOMPARE(KeyFileText(installed).value(v.group, v.key), v.value);
    QCOMPARE(installed.count(QLatin1Char('\n')), values.size() + 1);   // and nothing else
}

QTEST_GUILESS_MAIN(TestFileManagerEntries)
#include "test_filemanagerentries.moc"
