// Key files edited line by line, the quoting of the commands they hold, the Explorer verbs
// written through a registry kept in memory, and the file managers' entries of free desktops,
// written into a temporary data folder; their commands are run through sh the way the file
// managers run them.
#include "contextmenuregistration.h"
#include "explorerverbs.h"
#include "filemanagerentries.h"
#include "keyfiletext.h"
#include "temptree.h"

#include <QDateTime>
#include <QProcess>
#include <QUrl>

#include <sys/stat.h>

namespace {

const QString program = "/opt/quorvel/bin/quorvel";

// Inode and modification time of every entry: what changes when one is written.
QStringList identities(const QString &home)
{
    QStringList ids;
    for (const QString &path : {applicationEntryPath(), dolphinServiceMenuPath(), nemoFolderActionPath(),
                                nemoBackgroundActionPath(), nautilusScriptPath()}) {
        struct stat st {};
        ::stat(QFile::encodeName(home + '/' + path).constData(), &st);
        ids << QString::number(st.st_ino) + ' ' + QFileInfo(home + '/' + path).lastModified().toString(Qt::ISODateWithMs);
    }
    return ids;
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
        escaped.replace(c, QString("\\") + c);
    quoted = '\'' + quoted.replace("'", "'\\''") + '\'';
    escaped = '"' + escaped + '"';
    for (int i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i), next = i + 1 < exec.size() ? exec.at(i + 1) : QChar();
        if (c == '\\' && !next.isNull())
            line += next == 's' ? QChar(' ') : next;
        else if (c == '%' && !next.isNull())
            line += next == 'f' ? quoted : next == 'F' || next == 'P' ? escaped : next == '%' ? QString("%") : QString(c) + next;
        else
            line += c;
        i += (c == '\\' || c == '%') && !next.isNull();
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
    env.insert("QUORVEL_RECORD", record);
    env.remove("NAUTILUS_SCRIPT_CURRENT_URI");
    if (!currentUri.isNull())
        env.insert("NAUTILUS_SCRIPT_CURRENT_URI", currentUri);
    sh.setProcessEnvironment(env);
    sh.setWorkingDirectory(workingDir);
    sh.start("/bin/sh", arguments);
    if (!sh.waitForFinished(30000) || sh.exitCode() != 0)
        return {"<sh failed: " + QString::fromUtf8(sh.readAllStandardError()) + '>'};
    QStringList recorded = QString::fromUtf8(readFile(record)).split('\0');
    recorded.removeLast();
    return recorded;
}

// The registry's default values in memory, with a log of every write.
struct MemoryRegistryStore : RegistryStore
{
    QString defaultValue(const QString &keyPath) override { return values.value(keyPath); }
    void setDefaultValue(const QString &keyPath, const QString &value) override
    {
        writes.append(keyPath.section('\\', 1) + " = " + (values[keyPath] = value));
    }
    QMap<QString, QString> values;
    QStringList writes;
};

} // namespace

class TestDesktopEntries : public QObject
{
    Q_OBJECT

private slots:
    void setValue_data()
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

    void setValue()
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

    // Both verbs on a first start, in order; then only what differs (either separator).
    void explorerVerbsAreWrittenWhereTheyDiffer()
    {
        MemoryRegistryStore store;
        writeExplorerVerbs(store, "C:/Program Files/朔玳 1.2/quorvel.exe");
        QCOMPARE(store.writes, (QStringList{
            "Folder\\shell\\quorvel\\command = \"C:\\Program Files\\朔玳 1.2\\quorvel.exe\"  \"%1\"",
            "Folder\\shell\\quorvel = 深度搜索...",
            "Directory\\Background\\shell\\quorvel\\command = \"C:\\Program Files\\朔玳 1.2\\quorvel.exe\"",
            "Directory\\Background\\shell\\quorvel = 深度搜索..."}));
        store.writes.clear();
        store.values["HKEY_CLASSES_ROOT\\Folder\\shell\\quorvel"] = "Search";
        writeExplorerVerbs(store, "C:\\Program Files\\朔玳 1.2\\quorvel.exe");
        QCOMPARE(store.writes, QStringList{"Folder\\shell\\quorvel = 深度搜索..."});
    }

    // A later start writes nothing again; a file that lost its execute bit gets it back
    // without being written.
    void registrationWritesEveryEntryOnce()
    {
        TempTree home;
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.root()));
        registerContextMenu(program);
        qputenv("XDG_DATA_HOME", saved);
        const QStringList before = identities(home.root());
        QVERIFY(QFileInfo(home.path(dolphinServiceMenuPath())).isExecutable() && QFileInfo(home.path(nautilusScriptPath())).isExecutable());
        QVERIFY(!QFileInfo(home.path(applicationEntryPath())).isExecutable());
        QFile::setPermissions(home.path(nautilusScriptPath()), QFile::ReadOwner | QFile::WriteOwner);
        QTest::qWait(20);
        writeFileManagerEntries(home.root(), program);
        QCOMPARE(identities(home.root()), before);
        QVERIFY(QFileInfo(home.path(nautilusScriptPath())).isExecutable());
    }

    // In key files only our keys are set, where they differ; a copy at another path changes the
    // commands only.
    void laterStartsKeepHandMadeLinesAndSetOursBack()
    {
        TempTree home;
        writeFileManagerEntries(home.root(), program);
        const QString dolphin = dolphinServiceMenuPath(), application = applicationEntryPath();
        const QByteArray dolphinBefore = readFile(home.path(dolphin)), applicationBefore = readFile(home.path(application));
        const auto handMade = [&](QByteArray text, const QByteArray &name) {
            return text.replace("Name=深度搜索...\n", name + "Name[de]=Tiefensuche\n").prepend("# kept\n").append("\n[X-Mine]\nKey=1\n");
        };
        home.file(dolphin, handMade(dolphinBefore, "Name = Search here\n"));
        home.file(application, QByteArray(applicationBefore).replace("MimeType=inode/directory;\n", "").append("NoDisplay=false\n"));
        writeFileManagerEntries(home.root(), "/elsewhere/quorvel");
        const auto moved = [](QByteArray text) { return text.replace("\"/opt/quorvel/bin/quorvel\"", "\"/elsewhere/quorvel\""); };
        QCOMPARE(readFile(home.path(dolphin)), moved(handMade(dolphinBefore, "Name=深度搜索...\n")));
        QCOMPARE(readFile(home.path(application)),
                 moved(QByteArray(applicationBefore).replace("MimeType=inode/directory;\n", "").append("NoDisplay=false\nMimeType=inode/directory;\n")));
        QVERIFY(readFile(home.path(nautilusScriptPath())).contains("exec '/elsewhere/quorvel'"));
    }

    void commandsReachTheProgramWithBlanksAndSpecialCharacters()
    {
        TempTree tree;
        // The program: a stand-in that records its arguments, at a path that needs quoting.
        const QString fake = tree.file("my programs/朔玳 $HOME `id` \"q\" 'x' 100%F 5%P back\\slash/quorvel",
                                       "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$QUORVEL_RECORD\"\n");
        QVERIFY(QFile::setPermissions(fake, QFile::permissions(fake) | QFile::ExeOwner));
        const QString folder = tree.dir("a folder/with $PATH `x` \"dq\" 'sq' 50% b\\s");
        const QString record = tree.path("record"), home = tree.dir("home");
        writeFileManagerEntries(home, fake);
        // Each gets the folder: the selected one, or for Nemo's background entry the open one.
        for (const auto &[path, group] : {std::pair{applicationEntryPath(), "Desktop Entry"},
                                          {dolphinServiceMenuPath(), "Desktop Action quorvelDeepSearch"},
                                          {nemoFolderActionPath(), "Nemo Action"}, {nemoBackgroundActionPath(), "Nemo Action"}}) {
            const QString exec = KeyFileText(QString::fromUtf8(readFile(home + '/' + path))).value(group, "Exec");
            QCOMPARE(runAndRecord({"-c", commandLine(exec, folder)}, record), QStringList{folder});
        }
        // Nautilus runs the script in the open folder, names it in NAUTILUS_SCRIPT_CURRENT_URI and
        // passes the selected names (or full paths). A selected folder is searched, else the open
        // folder when it is a local one, else nothing.
        const QString script = home + '/' + nautilusScriptPath(), parent = QFileInfo(folder).absolutePath();
        const auto uri = [](const QString &dir) { return QUrl::fromLocalFile(dir).toString(QUrl::FullyEncoded); };
        tree.file("a folder/plain.txt");
        QCOMPARE(runAndRecord({script, QFileInfo(folder).fileName()}, record, parent, uri(parent)), QStringList{folder});
        QCOMPARE(runAndRecord({script, folder}, record, tree.root(), uri(tree.root())), QStringList{folder});
        QCOMPARE(runAndRecord({script, "plain.txt"}, record, parent, uri(parent)), QStringList{parent});
        QCOMPARE(runAndRecord({script}, record, folder, uri(folder)), QStringList{folder});
        QCOMPARE(runAndRecord({script}, record, folder, "trash:///"), QStringList{});
        QCOMPARE(runAndRecord({script}, record, folder), QStringList{});   // not run by Nautilus
    }

    // Below a regular file nothing can be made, not even by the superuser; a folder in the place
    // of one entry does not stop the others. Nothing is printed.
    void unwritableDataFolderIsSilent()
    {
        TempTree tree;
        const QString blocker = tree.file("blocker", "x");
        tree.file("home/" + applicationEntryPath() + "/inside", "keep");
        const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
        writeFileManagerEntries(blocker + "/share", program);
        writeFileManagerEntries(tree.path("home"), program);
        qInstallMessageHandler(previous);
        QVERIFY2(capturedMessages.isEmpty(), qPrintable(capturedMessages.join('\n')));
        QVERIFY(QFileInfo(blocker).size() == 1 && QFileInfo(tree.path("home/" + applicationEntryPath())).isDir());
        QVERIFY(QFileInfo::exists(tree.path("home/" + nautilusScriptPath())));
    }

    // The entry the package installs has the registered keys and nothing else.
    void installedEntryMatchesTheRegisteredOne()
    {
        const QString installed = QString::fromUtf8(readFile(QUORVEL_DATA_DIR "/quorvel.desktop"));
        const QList<KeyFileValue> values = applicationEntryValues("quorvel %f");
        for (const KeyFileValue &v : values)
            QCOMPARE(KeyFileText(installed).value(v.group, v.key), v.value);
        QCOMPARE(installed.count('\n'), values.size() + 1);
    }
};

QTEST_GUILESS_MAIN(TestDesktopEntries)
#include "test_desktopentries.moc"
