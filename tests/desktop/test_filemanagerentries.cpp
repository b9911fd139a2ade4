#include "contextmenuregistration.h"
#include "filemanagerentries.h"
#include "keyfiletext.h"

#include "temptree.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString program = QStringLiteral("/opt/quorvel/bin/quorvel");

const QByteArray expectedApplicationEntry =
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=朔玳\n"
    "GenericName=文件搜索\n"
    "Comment=按文件名和内容搜索文件夹及 ZIP、RAR 压缩包中的文件\n"
    "Exec=\"/opt/quorvel/bin/quorvel\" %f\n"
    "Icon=quorvel\n"
    "Terminal=false\n"
    "MimeType=inode/directory;\n"
    "Categories=Utility;FileTools;\n"
    "Keywords=search;find;grep;archive;搜索;查找;\n";

const QByteArray expectedDolphinMenu =
    "[Desktop Entry]\n"
    "Type=Service\n"
    "MimeType=inode/directory;\n"
    "Actions=quorvelDeepSearch;\n"
    "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
    "X-KDE-Priority=TopLevel\n"
    "\n"
    "[Desktop Action quorvelDeepSearch]\n"
    "Name=深度搜索...\n"
    "Icon=quorvel\n"
    "Exec=\"/opt/quorvel/bin/quorvel\" %f\n";

const QByteArray expectedNemoFolderAction =
    "[Nemo Action]\n"
    "Name=深度搜索...\n"
    "Comment=用朔玳搜索文件\n"
    "Exec=\"/opt/quorvel/bin/quorvel\" \"%F\"\n"
    "Icon-Name=quorvel\n"
    "Selection=s\n"
    "Extensions=dir;\n"
    "Quote=double\n";

const QByteArray expectedNemoBackgroundAction =
    "[Nemo Action]\n"
    "Name=深度搜索...\n"
    "Comment=用朔玳搜索文件\n"
    "Exec=\"/opt/quorvel/bin/quorvel\"\n"
    "Icon-Name=quorvel\n"
    "Selection=none\n"
    "Extensions=any;\n"
    "Quote=double\n";

const QByteArray expectedNautilusScript =
    "#!/bin/sh\n"
    "# Nautilus runs its scripts in the open folder with the selected names as arguments.\n"
    "# A selected folder is the folder to search; otherwise start without one.\n"
    "if [ \"$#\" -gt 0 ] && [ -d \"$1\" ]; then\n"
    "    case $1 in\n"
    "        /*) exec '/opt/quorvel/bin/quorvel' \"$1\" ;;\n"
    "        *) exec '/opt/quorvel/bin/quorvel' \"$PWD/$1\" ;;\n"
    "    esac\n"
    "fi\n"
    "exec '/opt/quorvel/bin/quorvel'\n";

QStringList keyFilePaths()
{
    return {applicationEntryPath(), dolphinServiceMenuPath(), nemoFolderActionPath(),
            nemoBackgroundActionPath()};
}

QStringList allPaths()
{
    return keyFilePaths() << nautilusScriptPath();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

bool isExecutable(const QString &path)
{
    return QFile::permissions(path) & QFile::ExeOwner;
}

// The lines of `after` that are not in `before`, in order.
QStringList newLines(const QByteArray &before, const QByteArray &after)
{
    const QStringList old = QString::fromUtf8(before).split(QLatin1Char('\n'));
    QStringList added;
    for (const QString &line : QString::fromUtf8(after).split(QLatin1Char('\n')))
        if (!old.contains(line))
            added << line;
    return added;
}

// Records every message Qt would print while a test runs.
QStringList capturedMessages;
void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    capturedMessages << message;
}

// Undoes the escapes of a key-file string value.
QString unescapeKeyFileString(const QString &value)
{
    QString out;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value.at(++i);
        switch (next.unicode()) {
        case 's': out += QLatin1Char(' '); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'r': out += QLatin1Char('\r'); break;
        default: out += next;
        }
    }
    return out;
}

QString singleQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// What a desktop launcher makes of an Exec line when it opens `folder`: field codes expanded
// ("%f" becomes the folder as one argument, "%%" a percent sign), the rest parsed with the
// quoting rules of desktop entries, which are those of the shell for double quotes.
QString desktopCommandLine(const QString &exec, const QString &folder)
{
    QString line;
    for (int i = 0; i < exec.size(); ++i) {
        if (exec.at(i) != QLatin1Char('%') || i + 1 == exec.size()) {
            line += exec.at(i);
            continue;
        }
        const QChar code = exec.at(++i);
        if (code == QLatin1Char('%'))
            line += QLatin1Char('%');
        else if (code == QLatin1Char('f') && !folder.isNull())
            line += singleQuoted(folder);
    }
    return line;
}

// What Nemo makes of its Exec line: "%F" becomes the folder escaped for double quotes.
QString nemoCommandLine(const QString &exec, const QString &folder)
{
    QString escaped;
    for (const QChar c : folder) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
            || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    QString line = exec;
    line.replace(QLatin1String("%F"), escaped);
    return line;
}

// Runs `commandLine` through sh with the recorder's log at `record`; returns the arguments
// that the program received.
QStringList runAndRecord(const QStringList &shellArguments, const QString &record,
                         const QString &workingDir = QString())
{
    QFile::remove(record);
    QProcess sh;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVEL_RECORD"), record);
    sh.setProcessEnvironment(env);
    if (!workingDir.isEmpty())
        sh.setWorkingDirectory(workingDir);
    sh.start(QStringLiteral("/bin/sh"), shellArguments);
    if (!sh.waitForFinished(30000) || sh.exitCode() != 0)
        return {QStringLiteral("<sh failed: ") + QString::fromUtf8(sh.readAllStandardError())
                + QLatin1Char('>')};
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

    void createsEveryEntryWithItsContent();
    void unchangedEntriesAreNotWrittenAgain();
    void copyAtAnotherPathRewritesTheCommandsOnly();
    void handEditedDisplayTextIsSetBack();
    void handMadeAdditionsStay();
    void commandsReachTheProgramWithBlanksAndSpecialCharacters();
    void unwritableDataFolderIsSilent();
    void aBlockedEntryDoesNotStopTheOthers();
    void registrationWritesIntoTheXdgDataFolder();
    void installedEntryMatchesTheRegisteredOne();
    void registeredEntryPassesTheValidator();
};

void TestFileManagerEntries::createsEveryEntryWithItsContent()
{
    TempTree home;
    writeFileManagerEntries(home.root(), program);
    QCOMPARE(readAll(home.path(applicationEntryPath())), expectedApplicationEntry);
    QCOMPARE(readAll(home.path(dolphinServiceMenuPath())), expectedDolphinMenu);
    QCOMPARE(readAll(home.path(nemoFolderActionPath())), expectedNemoFolderAction);
    QCOMPARE(readAll(home.path(nemoBackgroundActionPath())), expectedNemoBackgroundAction);
    QCOMPARE(nautilusScriptPath(), QStringLiteral("nautilus/scripts/深度搜索..."));
    QCOMPARE(readAll(home.path(nautilusScriptPath())), expectedNautilusScript);

    QVERIFY(isExecutable(home.path(dolphinServiceMenuPath())));
    QVERIFY(isExecutable(home.path(nautilusScriptPath())));
    QVERIFY(!isExecutable(home.path(applicationEntryPath())));
    QVERIFY(capturedMessages.isEmpty());
}

void TestFileManagerEntries::unchangedEntriesAreNotWrittenAgain()
{
    TempTree home;
    writeFileManagerEntries(home.root(), program);
    const QDateTime old(QDate(2001, 2, 3), QTime(4, 5, 6));
    QMap<QString, ino_t> inodes;
    for (const QString &path : allPaths()) {
        QFile f(home.path(path));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(home.path(path)).constData(), &st), 0);
        inodes.insert(path, st.st_ino);
    }
    // A file that lost its execute bit gets it back without being written.
    QFile::setPermissions(home.path(nautilusScriptPath()), QFile::ReadOwner | QFile::WriteOwner);

    writeFileManagerEntries(home.root(), program);
    for (const QString &path : allPaths()) {
        QCOMPARE(QFileInfo(home.path(path)).lastModified(), old);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(home.path(path)).constData(), &st), 0);
        QCOMPARE(st.st_ino, inodes.value(path));
    }
    QVERIFY(isExecutable(home.path(nautilusScriptPath())));
}

void TestFileManagerEntries::copyAtAnotherPathRewritesTheCommandsOnly()
{
    TempTree home;
    writeFileManagerEntries(home.root(), program);
    QMap<QString, QByteArray> before;
    for (const QString &path : allPaths())
        before.insert(path, readAll(home.path(path)));

    writeFileManagerEntries(home.root(), QStringLiteral("/home/u/copy/quorvel"));
    QCOMPARE(newLines(before.value(applicationEntryPath()), readAll(home.path(applicationEntryPath()))),
             QStringList{QStringLiteral("Exec=\"/home/u/copy/quorvel\" %f")});
    QCOMPARE(newLines(before.value(dolphinServiceMenuPath()), readAll(home.path(dolphinServiceMenuPath()))),
             QStringList{QStringLiteral("Exec=\"/home/u/copy/quorvel\" %f")});
    QCOMPARE(newLines(before.value(nemoFolderActionPath()), readAll(home.path(nemoFolderActionPath()))),
             QStringList{QStringLiteral("Exec=\"/home/u/copy/quorvel\" \"%F\"")});
    QCOMPARE(newLines(before.value(nemoBackgroundActionPath()),
                      readAll(home.path(nemoBackgroundActionPath()))),
             QStringList{QStringLiteral("Exec=\"/home/u/copy/quorvel\"")});
    QByteArray script = expectedNautilusScript;
    script.replace("'/opt/quorvel/bin/quorvel'", "'/home/u/copy/quorvel'");
    QCOMPARE(readAll(home.path(nautilusScriptPath())), script);
    for (const QString &path : keyFilePaths())
        QCOMPARE(readAll(home.path(path)).size(),
                 before.value(path).size() + QByteArray("/home/u/copy/quorvel").size()
                     - QByteArray("/opt/quorvel/bin/quorvel").size());
}

void TestFileManagerEntries::handEditedDisplayTextIsSetBack()
{
    TempTree home;
    writeFileManagerEntries(home.root(), program);
    QByteArray dolphin = readAll(home.path(dolphinServiceMenuPath()));
    dolphin.replace("Name=深度搜索...", "Name = Search here");
    writeAll(home.path(dolphinServiceMenuPath()), dolphin);
    QByteArray nemo = readAll(home.path(nemoBackgroundActionPath()));
    nemo.replace("Name=深度搜索...", "Name=搜索");
    writeAll(home.path(nemoBackgroundActionPath()), nemo);
    QByteArray application = readAll(home.path(applicationEntryPath()));
    application.replace("Name=朔玳", "Name=My search");
    writeAll(home.path(applicationEntryPath()), application);
    const QDateTime old(QDate(2001, 2, 3), QTime(4, 5, 6));
    QFile untouched(home.path(nemoFolderActionPath()));
    QVERIFY(untouched.open(QIODevice::ReadWrite));
    QVERIFY(untouched.setFileTime(old, QFileDevice::FileModificationTime));
    untouched.close();

    writeFileManagerEntries(home.root(), program);
    QCOMPARE(readAll(home.path(dolphinServiceMenuPath())), expectedDolphinMenu);
    QCOMPARE(readAll(home.path(nemoBackgroundActionPath())), expectedNemoBackgroundAction);
    QCOMPARE(readAll(home.path(applicationEntryPath())), expectedApplicationEntry);
    QCOMPARE(QFileInfo(home.path(nemoFolderActionPath())).lastModified(), old);
}

void TestFileManagerEntries::handMadeAdditionsStay()
{
    TempTree home;
    writeFileManagerEntries(home.root(), program);
    QByteArray dolphin = readAll(home.path(dolphinServiceMenuPath()));
    dolphin.replace("Name=深度搜索...\n", "Name=深度搜索...\nName[de]=Tiefensuche\n");
    dolphin.prepend("# kept by me\n");
    dolphin.append("\n[X-Mine]\nKey=1\n");
    writeAll(home.path(dolphinServiceMenuPath()), dolphin);
    // A key of ours that went missing comes back; the hand-made lines stay where they were.
    QByteArray application = readAll(home.path(applicationEntryPath()));
    application.replace("MimeType=inode/directory;\n", "");
    application.append("NoDisplay=false\n");
    writeAll(home.path(applicationEntryPath()), application);

    writeFileManagerEntries(home.root(), QStringLiteral("/elsewhere/quorvel"));
    QByteArray expectedDolphin = dolphin;
    expectedDolphin.replace("\"/opt/quorvel/bin/quorvel\"", "\"/elsewhere/quorvel\"");
    QCOMPARE(readAll(home.path(dolphinServiceMenuPath())), expectedDolphin);
    QByteArray expectedApplication = application;
    expectedApplication.replace("\"/opt/quorvel/bin/quorvel\"", "\"/elsewhere/quorvel\"");
    expectedApplication.append("MimeType=inode/directory;\n");
    QCOMPARE(readAll(home.path(applicationEntryPath())), expectedApplication);
}

void TestFileManagerEntries::commandsReachTheProgramWithBlanksAndSpecialCharacters()
{
    TempTree tree;
    // The program: a stand-in that records its arguments, at a path that needs quoting.
    const QString programDir = tree.dir(QStringLiteral("my programs/朔玳 $HOME `id` \"q\" 'x' 100% back\\slash"));
    const QString fake = programDir + QStringLiteral("/quorvel");
    writeAll(fake, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$QUORVEL_RECORD\"\n");
    QVERIFY(QFile::setPermissions(fake, QFile::permissions(fake) | QFile::ExeOwner));
    const QString folder = tree.dir(QStringLiteral("a folder/with $PATH `x` \"dq\" 'sq' 50% b\\s"));
    const QString record = tree.path(QStringLiteral("record"));
    const QString home = tree.dir(QStringLiteral("home"));

    writeFileManagerEntries(home, fake);
    QVERIFY(capturedMessages.isEmpty());

    for (const QString &entry : {applicationEntryPath(), dolphinServiceMenuPath()}) {
        const KeyFileText text(QString::fromUtf8(readAll(home + QLatin1Char('/') + entry)));
        const QString group = entry == applicationEntryPath()
                                  ? QStringLiteral("Desktop Entry")
                                  : QStringLiteral("Desktop Action quorvelDeepSearch");
        const QString exec = unescapeKeyFileString(text.value(group, QStringLiteral("Exec")));
        QCOMPARE(runAndRecord({QStringLiteral("-c"), desktopCommandLine(exec, folder)}, record),
                 QStringList{folder});
        QCOMPARE(runAndRecord({QStringLiteral("-c"), desktopCommandLine(exec, QString())}, record),
                 QStringList{});
    }

    const KeyFileText onFolder(QString::fromUtf8(readAll(home + QLatin1Char('/') + nemoFolderActionPath())));
    const QString folderExec = unescapeKeyFileString(onFolder.value(QStringLiteral("Nemo Action"), QStringLiteral("Exec")));
    QCOMPARE(runAndRecord({QStringLiteral("-c"), nemoCommandLine(folderExec, folder)}, record),
             QStringList{folder});
    const KeyFileText onBackground(
        QString::fromUtf8(readAll(home + QLatin1Char('/') + nemoBackgroundActionPath())));
    const QString backgroundExec =
        unescapeKeyFileString(onBackground.value(QStringLiteral("Nemo Action"), QStringLiteral("Exec")));
    QCOMPARE(runAndRecord({QStringLiteral("-c"), backgroundExec}, record), QStringList{});

    // Nautilus: in the open folder, with the selected name, with a full path, or with nothing.
    const QString script = home + QLatin1Char('/') + nautilusScriptPath();
    const QString parent = QFileInfo(folder).absolutePath();
    const QString name = QFileInfo(folder).fileName();
    QCOMPARE(runAndRecord({script, name}, record, parent), QStringList{folder});
    QCOMPARE(runAndRecord({script, folder}, record, tree.root()), QStringList{folder});
    QCOMPARE(runAndRecord({script}, record, parent), QStringList{});
    const QString file = tree.file(QStringLiteral("a folder/plain.txt"));
    QCOMPARE(runAndRecord({script, QStringLiteral("plain.txt")}, record, parent), QStringList{});
    Q_UNUSED(file);
}

void TestFileManagerEntries::unwritableDataFolderIsSilent()
{
    capturedMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    TempTree tree;
    // Below a regular file nothing can be made, not even by the superuser.
    const QString blocker = tree.file(QStringLiteral("blocker"), "x");
    writeFileManagerEntries(blocker + QStringLiteral("/share"), program);
    // A data folder without write permission (meaningful when not the superuser).
    const QString locked = tree.dir(QStringLiteral("locked"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    writeFileManagerEntries(locked, program);
    const bool lockHolds = ::geteuid() != 0;
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qInstallMessageHandler(previous);

    QVERIFY2(capturedMessages.isEmpty(), qPrintable(capturedMessages.join(QLatin1Char('\n'))));
    QCOMPARE(QFileInfo(blocker).size(), 1);
    if (lockHolds)
        QVERIFY(QDir(locked).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

void TestFileManagerEntries::aBlockedEntryDoesNotStopTheOthers()
{
    TempTree home;
    // Where the application entry belongs there is a folder.
    home.file(applicationEntryPath() + QStringLiteral("/inside"), "keep");
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    writeFileManagerEntries(home.root(), program);
    qInstallMessageHandler(previous);
    QVERIFY(capturedMessages.isEmpty());
    QCOMPARE(readAll(home.path(applicationEntryPath() + QStringLiteral("/inside"))), QByteArray("keep"));
    QCOMPARE(readAll(home.path(dolphinServiceMenuPath())), expectedDolphinMenu);
    QCOMPARE(readAll(home.path(nautilusScriptPath())), expectedNautilusScript);
}

void TestFileManagerEntries::registrationWritesIntoTheXdgDataFolder()
{
    TempTree home;
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.root()));
    registerContextMenu(program);
    if (saved.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", saved);
    for (const QString &path : allPaths())
        QVERIFY2(QFileInfo::exists(home.path(path)), qPrintable(path));
    QCOMPARE(readAll(home.path(dolphinServiceMenuPath())), expectedDolphinMenu);
}

void TestFileManagerEntries::installedEntryMatchesTheRegisteredOne()
{
    const QString installed = QStringLiteral(QUORVEL_DATA_DIR "/quorvel.desktop");
    const KeyFileText text(QString::fromUtf8(readAll(installed)));
    const QList<KeyFileValue> values = applicationEntryValues(QStringLiteral("quorvel %f"));
    for (const KeyFileValue &v : values)
        QCOMPARE(text.value(v.group, v.key), v.value);
    // And nothing else: the same number of lines.
    QCOMPARE(QString::fromUtf8(readAll(installed)).count(QLatin1Char('\n')), values.size() + 1);
}

void TestFileManagerEntries::registeredEntryPassesTheValidator()
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed");
    TempTree home;
    writeFileManagerEntries(home.root(), QStringLiteral("/opt/my apps/quorvel"));
    QProcess check;
    check.start(validator, {home.path(applicationEntryPath())});
    QVERIFY(check.waitForFinished(30000));
    QVERIFY2(check.exitCode() == 0, check.readAllStandardOutput().constData());
    QVERIFY2(check.readAllStandardOutput().isEmpty(), "the validator has remarks");
}

QTEST_GUILESS_MAIN(TestFileManagerEntries)
#include "test_filemanagerentries.moc"
