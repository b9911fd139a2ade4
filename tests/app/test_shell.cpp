// What the shell gives the window: the start-up texts, the state folder, the hand-off file that
// brings the window back, and the tray icon.
#include "mainwindow.h"
#include "shownowfile.h"
#include "startuptexts.h"
#include "statefolder.h"
#include "trayicon.h"
#include "walk/searchthread.h"
#include "windowsetup.h"

#include "temptree.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPointer>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

trayicon *trayOf(QObject *window)
{
    auto *tray = window->findChild<trayicon *>();
    if (!tray)
        qFatal("the window has no tray icon");
    return tray;
}

void triggerTrayEntry(QObject *window, const QString &text)
{
    for (QAction *a : trayOf(window)->contextMenu()->actions())
        if (a->text() == text)
            return a->trigger();
    qFatal("no tray entry %s", qPrintable(text));
}

// Runs the application's event loop until something ends it or `ms` pass; true when it was
// ended from inside.
bool eventLoopEndsByItself(int ms)
{
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(ms);
    QCoreApplication::exec();
    return !timedOut;
}

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void initialDirText_data();
    void initialDirText();
    void showNowStampIsRewritten();
    void stateFolderFallsBackToThePerUserFolder();
    void handOffShowsTheWindow_data();
    void handOffShowsTheWindow();
    void trayTogglesAndOpensTheWindow();
    void trayQuitDuringASearchStopsTheWorkerFirst();
};

void TestShell::initialDirText_data()
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

void TestShell::initialDirText()
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
    QCOMPARE(drives, QStringLiteral("/;"));
    QCOMPARE(::initialDirText(QStringList{QStringLiteral("quorvel")} + arguments, tree.root(), drives),
             expected == QLatin1String("<drives>") ? drives : tree.path(expected));
}

void TestShell::showNowStampIsRewritten()
{
    QCOMPARE(showNowFilePath(), stateFolder() + QStringLiteral("/shownow.cmd"));
    QCOMPARE(stateFolder(), QDir::cleanPath(QCoreApplication::applicationDirPath()));
    TempTree tree;
    const QString path = tree.file(QStringLiteral("shownow.cmd"), QByteArray(100, 'x'));
    QVERIFY(writeShowNowFileAt(path, QDateTime(QDate(2026, 12, 5), QTime(21, 43, 10, 6))));
    QCOMPARE(readAll(path), QByteArray("05.12.2026 21:43:10.006"));
    QVERIFY(!writeShowNowFileAt(tree.dir(QStringLiteral("blocked")), QDateTime::currentDateTime()));
}

void TestShell::stateFolderFallsBackToThePerUserFolder()
{
    TempTree home;
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path(QStringLiteral("data"))));
    const QString perUser = home.path(QStringLiteral("data/quorvel"));
    QCOMPARE(stateFolderFor(home.root()), QDir::cleanPath(home.root()));   // writable: the program's own
    QCOMPARE(stateFolderFor(home.path(QStringLiteral("no/such/dir"))), perUser);
    QVERIFY(QFileInfo(perUser).isDir());   // made on demand
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

void TestShell::handOffShowsTheWindow_data()
{
    QTest::addColumn<int>("way");
    QTest::newRow("rewritten") << 0;
    QTest::newRow("replaced by a rename") << 1;   // as editors and other tools write
    QTest::newRow("removed and made anew") << 2;
}

void TestShell::handOffShowsTheWindow()
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
    QTest::qWait(300);   // some file systems keep time stamps to the second
    writeShowNowFile();
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);
    // And the next start is seen as well.
    window.hide();
    QTest::qWait(300);
    window.hide();
    writeShowNowFile();
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);
}

void TestShell::trayTogglesAndOpensTheWindow()
{
    MainWindow window(programWindowEnvironment());
    trayicon *tray = trayOf(&window);
    QVERIFY(tray->isVisible());
    QCOMPARE(tray->parent(), &window);
    for (auto reason : {QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick})
        emit tray->activated(reason);
    QVERIFY(window.isHidden());
    // A single click toggles (StatusNotifierItem trays report no other); the double click
    // whose first click it was does not toggle back.
    emit tray->activated(QSystemTrayIcon::Trigger);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window.isVisible());
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window.isHidden());
    QVERIFY(!eventLoopEndsByItself(300));   // hidden from the tray, the program goes on
    QCOMPARE(lastClosed.count(), 0);
    window.showMinimized();
    triggerTrayEntry(&window, QStringLiteral("打开"));
    QVERIFY(window.isVisible() && !window.isMinimized());
}

// "退出" ends the program at once, without the question about a running search; the window
// then stops the worker and waits for it before its children go.
void TestShell::trayQuitDuringASearchStopsTheWorkerFirst()
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
    QTimer::singleShot(0, window.get(), [&] { triggerTrayEntry(window.get(), QStringLiteral("退出")); });
    QVERIFY(eventLoopEndsByItself(10000));
    window.reset();
    QVERIFY(watched.isNull());
    QVERIFY(!workerRanWhileChildrenWent);
}

QTEST_MAIN(TestShell)
#include "test_shell.moc"
