// What the shell gives the window: the start-up texts, the state folder, the hand-off file that
// brings the window back, and the tray icon. One instance per program path and user: the lock,
// the real program started as a second (and third) process, and started from a folder it may
// not write to. Key files edited line by line, the quoting of the commands they hold, the
// Explorer verbs written through a registry kept in memory, and the file managers' entries of
// free desktops, written into a temporary data folder; their commands are run through sh the way
// the file managers run them.
#include "archive/extractionplace.h"
#include "contextmenuregistration.h"
#include "explorerverbs.h"
#include "filemanagerentries.h"
#include "instancelock.h"
#include "keyfiletext.h"
#include "qttranslations.h"
#include "shownowfile.h"
#include "singleapplication.h"
#include "startuptexts.h"
#include "statefolder.h"
#include "trayicon.h"
#include "walk/searchthread.h"
#include "windowsetup.h"

#include "../ui/windowaccess.h"
#include "eventloop.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QLibraryInfo>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QSaveFile>
#include <QUrl>

#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The program under test, copied into `dir`. A copy at a path of its own is an instance of its
// own: it neither sees nor disturbs copies elsewhere.
QString copyProgram(const QString &dir)
{
    const QString target = dir + QStringLiteral("/quorvel");
    if (!QFile::copy(QStringLiteral(QUORVEL_PROGRAM), target))
        qFatal("cannot copy the program to %s", qPrintable(target));
    QFile::setPermissions(target, QFile::permissions(QStringLiteral(QUORVEL_PROGRAM)));
    return target;
}

// True when a living process holds the lock of `key` (the probe takes it only for a moment).
bool lockIsHeld(const QString &key)
{
    InstanceLock probe(key);
    return probe.tryAcquire() == InstanceLock::HeldElsewhere;
}

std::unique_ptr<QProcess> startProgram(const QString &program, const QStringList &arguments = {})
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(program, arguments);
    return process;
}

// The started program keeps running for a while, and then is stopped.
bool keptRunningThenStop(QProcess &process)
{
    QTest::qWait(300);
    const bool running = process.state() == QProcess::Running;
    process.kill();
    process.waitForFinished(30000);
    return running;
}

void triggerTrayEntry(QObject *window, const QString &text)
{
    for (QAction *a : windowChild<trayicon>(window)->contextMenu()->actions())
        if (a->text() == text)
            return a->trigger();
    qFatal("no tray entry %s", qPrintable(text));
}

const QString installedProgram = "/opt/quorvel/bin/quorvel";

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

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void initialDirText_data()
    {
        QTest::addColumn<QStringList>("arguments");   // after the program's name, relative to the tree
        QTest::addColumn<QString>("expected");        // relative to the tree; "<drives>" for the drive text
        QTest::newRow("no argument") << QStringList{} << "<drives>";
        QTest::newRow("a directory, then more") << QStringList{"<abs>文档 with blank", "note.txt"} << "文档 with blank";
        QTest::newRow("kept as written") << QStringList{"<abs>文档 with blank/"} << "文档 with blank/";
        QTest::newRow("relative to the start") << QStringList{"sub/../文档 with blank"} << "文档 with blank";
        QTest::newRow("a file") << QStringList{"note.txt"} << "<drives>";
        QTest::newRow("missing") << QStringList{"missing"} << "<drives>";
        QTest::newRow("empty") << QStringList{""} << "<drives>";
    }

    void initialDirText()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        TempTree tree;
        tree.dir(QStringLiteral("文档 with blank"));
        tree.dir(QStringLiteral("sub"));
        tree.file(QStringLiteral("note.txt"), "x");
        for (QString &argument : arguments)
            argument.replace(QLatin1String("<abs>"), tree.root() + QLatin1Char('/'));
        const QString drives = driveListText();
        QCOMPARE(::initialDirText(QStringList{QStringLiteral("quorvel")} + arguments, tree.root(), drives),
                 expected == QLatin1String("<drives>") ? drives : tree.path(expected));
    }

    void showNowStampIsRewritten()
    {
        TempTree tree;
        const QString path = tree.file(QStringLiteral("shownow.cmd"), QByteArray(100, 'x'));
        QVERIFY(writeShowNowFileAt(path, QDateTime(QDate(2026, 12, 5), QTime(21, 43, 10, 6))));
        QCOMPARE(readFile(path), QByteArray("05.12.2026 21:43:10.006"));
        QCOMPARE(showNowFolder(path), QString());
        // A folder to search goes on a second line, after the unchanged stamp.
        const QString folder = tree.dir(QStringLiteral("文档 b"));
        QVERIFY(writeShowNowFileAt(path, QDateTime(QDate(2026, 12, 5), QTime(21, 43, 10, 6)), folder));
        QCOMPARE(readFile(path).left(24), QByteArray("05.12.2026 21:43:10.006\n"));
        QCOMPARE(showNowFolder(path), folder);
        QVERIFY(writeShowNowFileAt(path, QDateTime::currentDateTime(), tree.path(QStringLiteral("gone"))));
        QCOMPARE(showNowFolder(path), QString());
        QVERIFY(!writeShowNowFileAt(tree.dir(QStringLiteral("blocked")), QDateTime::currentDateTime()));
    }

    void stateFolderFallsBackToThePerUserFolder()
    {
        TempTree home;
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path(QStringLiteral("data"))));
        const QString perUser = home.path(QStringLiteral("data/quorvel"));
        QCOMPARE(perUser + QStringLiteral("/tmp"), ExtractionPlace::perUserFolder());   // one per-user folder
        QCOMPARE(stateFolderFor(home.root()), QDir::cleanPath(home.root()));   // writable: the program's own
        // Installed programs never write beside themselves, whoever runs them.
        for (const char *installed : {"/usr/bin", "/usr/local/bin", "/bin", "/opt", "/snap"})
            QCOMPARE(stateFolderFor(QLatin1String(installed)), perUser);
        QCOMPARE(stateFolderFor(home.path(QStringLiteral("no/such/dir"))), perUser);
        QCOMPARE(stateFolderFor(home.file(QStringLiteral("plainfile"))), perUser);
        const QString locked = home.dir(QStringLiteral("installed/bin"));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const bool lockHolds = !QFileInfo(locked).isWritable();   // not for the superuser
        const QString chosen = stateFolderFor(locked);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        saved.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", saved);
        if (lockHolds)
            QCOMPARE(chosen, perUser);
    }

    void handOffShowsTheWindow_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("rewritten") << 0;
        QTest::newRow("replaced by a rename") << 1;   // as editors and other tools write
        QTest::newRow("removed and made anew") << 2;
        QTest::newRow("with a folder, minimised") << 3;
    }

    void handOffShowsTheWindow()
    {
        QFETCH(int, way);
        writeShowNowFile();
        MainWindow window(programWindowEnvironment());
        const QString path = showNowFilePath();
        if (way == 1) {
            QSaveFile replacement(path);
            QVERIFY(replacement.open(QIODevice::WriteOnly));
            replacement.write("replaced");
            QVERIFY(replacement.commit());
        } else if (way == 2) {
            QVERIFY(QFile::remove(path));
            QTest::qWait(200);
        }
        TempTree asked;
        if (way == 3) {
            window.setInitialDir(QStringLiteral("/"));
            window.showMinimized();
        }
        QTest::qWait(300);   // some file systems keep time stamps to the second
        writeShowNowFile(way == 3 ? asked.root() : QString());
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible() && !window.isMinimized(), 10000);
        auto *dirs = window.findChild<QComboBox *>(QStringLiteral("comboBox_Dir"));
        // Taken as a first start with the folder would take it.
        QCOMPARE(dirs->currentText(), way == 3 ? asked.root() : QString());
        if (way == 3)
            QCOMPARE(dirs->itemText(dirs->count() - 2), driveListText());
    }

    // A single click toggles (StatusNotifierItem trays report no other); the double click whose
    // first click it was does not toggle back; hidden from the tray while the event loop runs
    // (where the last window's closing would end it), the program goes on.
    void trayTogglesAndOpensTheWindow()
    {
        MainWindow window(programWindowEnvironment());
        trayicon *tray = windowChild<trayicon>(&window);
        emit tray->activated(QSystemTrayIcon::Trigger);
        emit tray->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QCOMPARE(runEventLoop(300, [&] { emit tray->activated(QSystemTrayIcon::DoubleClick); }), 99);
        QVERIFY(window.isHidden());
        window.showMinimized();
        triggerTrayEntry(&window, QStringLiteral("打开"));
        QVERIFY(window.isVisible() && !window.isMinimized());
    }

    // "退出" ends the program at once, without the question about a running search; the window
    // then stops the worker and waits for it before its children go.
    void trayQuitDuringASearchStopsTheWorkerFirst()
    {
        auto window = std::make_unique<MainWindow>(programWindowEnvironment());
        window->show();
        auto *worker = window->findChild<searchThread *>();
        bool workerRanWhileChildrenWent = false;
        QObject::connect(window->findChild<QTableView *>(), &QObject::destroyed,
                         [&] { workerRanWhileChildrenWent = worker->isRunning(); });
        QPointer<searchThread> watched(worker);
        const QList<QDir> roots(50, QDir(QStringLiteral("/usr")));   // a long walk
        worker->setSearchParam(roots, {QStringLiteral("*")}, QString(), Qt::CaseSensitive, true, false, false);
        worker->start();
        QTest::qWait(30);
        if (!worker->isRunning())
            QSKIP("the search ended before the quit");
        QVERIFY(runEventLoop(10000, [&] { triggerTrayEntry(window.get(), QStringLiteral("退出")); }) != 99);
        window.reset();
        QVERIFY(watched.isNull());
        QVERIFY(!workerRanWhileChildrenWent);
    }

    void qtDialogsSpeakChinese()
    {
        if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_zh_CN.qm")))
            QSKIP("Qt's translations are not installed (qt6-translations-l10n)");
        QVERIFY(installQtTranslations(*qApp, QLocale::c()));   // no translation for it: Chinese
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    }

    void lockIsPerPathExclusiveAndDiesWithItsHolder()
    {
        TempTree tree;
        const QString a = tree.file(QStringLiteral("a/quorvel"), "x");
        const QString key = SingleApplication::instanceKey(a);
        QCOMPARE(SingleApplication::instanceKey(tree.path(QStringLiteral("b/../a/quorvel"))), key);
        QCOMPARE(SingleApplication::instanceKey(tree.link(QStringLiteral("link-to-a"), a)), key);
        QVERIFY(SingleApplication::instanceKey(tree.file(QStringLiteral("b/quorvel"), "x")) != key);

        InstanceLock first(key), second(key);
        QCOMPARE(first.tryAcquire(), InstanceLock::Acquired);
        QCOMPARE(second.tryAcquire(), InstanceLock::HeldElsewhere);
        first.release();
        QCOMPARE(second.tryAcquire(), InstanceLock::Acquired);
        second.release();
        QFile::remove(first.location());
    }

    // The ones that lose end by themselves with status 0 after rewriting the hand-off file.
    void exactlyOneOfSimultaneousStartsRuns()
    {
        for (int round = 0; round < 3; ++round) {
            TempTree tree;
            const QString program = copyProgram(tree.root());
            std::vector<std::unique_ptr<QProcess>> starts;
            for (int i = 0; i < 3; ++i)
                starts.push_back(startProgram(program, {tree.root()}));
            auto finished = [&] {
                int n = 0;
                for (auto &p : starts)
                    n += p->state() == QProcess::NotRunning;
                return n;
            };
            QVERIFY(QTest::qWaitFor([&] { return finished() == 2; }, 60000));
            const QByteArray stamp = readFile(tree.path(QStringLiteral("shownow.cmd")));
            QCOMPARE(stamp.split('\n'), (QList<QByteArray>{stamp.left(23), tree.root().toUtf8()}));
            QTest::qWait(300);
            QCOMPARE(finished(), 2);   // the winner keeps running
            QVERIFY(lockIsHeld(SingleApplication::instanceKey(program)));
            for (auto &p : starts) {
                if (p->state() == QProcess::NotRunning)
                    QVERIFY(p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0);
            }
            auto later = startProgram(program);
            QVERIFY(later->waitForFinished(60000) && later->exitCode() == 0);
            QVERIFY(readFile(tree.path(QStringLiteral("shownow.cmd"))) != stamp);
            for (auto &p : starts)
                p->kill(), p->waitForFinished(30000);
        }
    }

    void lockOfAKilledInstanceDoesNotBlockAndCopiesRunSideBySide()
    {
        TempTree one, two;
        const QString program = copyProgram(one.root());
        const QString handOff = one.path(QStringLiteral("shownow.cmd"));
        auto crashed = startProgram(program);
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(handOff); }, 30000));
        QVERIFY(lockIsHeld(SingleApplication::instanceKey(program)));
        crashed->kill();   // no clean-up of any kind
        QVERIFY(crashed->waitForFinished(30000));

        QFile::remove(handOff);
        auto next = startProgram(program);
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(handOff); }, 30000));
        // A copy at another path is another program.
        auto copy = startProgram(copyProgram(two.root()));
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(two.path(QStringLiteral("shownow.cmd"))); }, 30000));
        QVERIFY(keptRunningThenStop(*next));
        QVERIFY(keptRunningThenStop(*copy));
    }

    // Installed where it may not write, it keeps its state in the per-user folder, writes nothing
    // beside itself and keeps running. The superuser writes everywhere: as root it runs as nobody.
    void runsFromAFolderItMayNotWriteTo()
    {
        const bool asRoot = ::geteuid() == 0;
        TempTree tree;
        QVERIFY(QFile::setPermissions(tree.root(), QFile::permissions(tree.root()) | QFile::ExeOther));
        const QString bin = tree.dir(QStringLiteral("bin")), home = tree.dir(QStringLiteral("home")), program = copyProgram(bin);
        QVERIFY(!asRoot || ::chown(QFile::encodeName(home).constData(), 65534, 65534) == 0);
        QVERIFY(QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
            env.insert(QLatin1String(name), home);
        QProcess run;
        run.setProcessEnvironment(env);
        run.setWorkingDirectory(home);
        run.setProcessChannelMode(QProcess::ForwardedChannels);
        if (asRoot)
            run.start(QStringLiteral("setpriv"), {"--reuid=65534", "--regid=65534", "--clear-groups", "--", program});
        else
            run.start(program, {});
        const QString showNow = home + QStringLiteral("/quorvel/shownow.cmd");
        (void)QTest::qWaitFor([&] { return QFileInfo::exists(showNow) || run.state() == QProcess::NotRunning; }, 30000);
        QVERIFY(keptRunningThenStop(run));
        QFile::setPermissions(bin, QFile::permissions(bin) | QFile::WriteOwner);
        QCOMPARE(readFile(showNow).size(), 23);
        QCOMPARE(QDir(bin).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{QStringLiteral("quorvel")});
    }

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
        registerContextMenu(installedProgram);
        qputenv("XDG_DATA_HOME", saved);
        const QStringList before = identities(home.root());
        QVERIFY(QFileInfo(home.path(dolphinServiceMenuPath())).isExecutable() && QFileInfo(home.path(nautilusScriptPath())).isExecutable());
        QVERIFY(!QFileInfo(home.path(applicationEntryPath())).isExecutable());
        QFile::setPermissions(home.path(nautilusScriptPath()), QFile::ReadOwner | QFile::WriteOwner);
        QTest::qWait(20);
        writeFileManagerEntries(home.root(), installedProgram);
        QCOMPARE(identities(home.root()), before);
        QVERIFY(QFileInfo(home.path(nautilusScriptPath())).isExecutable());
    }

    // In key files only our keys are set, where they differ; a copy at another path changes the
    // commands only.
    void laterStartsKeepHandMadeLinesAndSetOursBack()
    {
        TempTree home;
        writeFileManagerEntries(home.root(), installedProgram);
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
        writeFileManagerEntries(blocker + "/share", installedProgram);
        writeFileManagerEntries(tree.path("home"), installedProgram);
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

QTEST_MAIN(TestShell)
#include "test_shell.moc"
