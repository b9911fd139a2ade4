// What the shell gives the window: the start-up texts, the state folder, the hand-off file that
// brings the window back, and the tray icon. One instance per program path and user: the lock,
// the real program started as a second (and third) process, and started from a folder it may
// not write to.
#include "archive/extractionplace.h"
#include "instancelock.h"
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
#include <QLibraryInfo>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QSaveFile>

#include <memory>
#include <vector>

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
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"
