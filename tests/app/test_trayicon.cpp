#include "mainwindow.h"
#include "walk/searchthread.h"
#include "trayicon.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

trayicon *trayOf(MainWindow &window)
{
    auto *tray = window.findChild<trayicon *>();
    if (!tray)
        qFatal("the window has no tray icon");
    return tray;
}

QAction *menuAction(trayicon *tray, const QString &text)
{
    for (QAction *a : tray->contextMenu()->actions()) {
        if (a->text() == text)
            return a;
    }
    qFatal("no menu entry %s", qPrintable(text));
}

// Runs the application's event loop until something ends it or `ms` pass; true when it was
// ended from inside. (The application's loop, not a local one: after exit() a local loop
// would refuse to run again until the application's loop has run.)
bool eventLoopEndsByQuit(int ms)
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

class TestTrayIcon : public QObject
{
    Q_OBJECT

private slots:
    void iconMenuAndToolTip();
    void doubleClickTogglesTheWindow();
    void otherActivationsDoNothing_data();
    void otherActivationsDoNothing();
    void openShowsAndRestores();
    void quitEndsTheEventLoop();
    void quitDuringASearchStopsTheWorkerFirst();
    void hidingFromTheTrayDoesNotEndTheProgram();
};

void TestTrayIcon::iconMenuAndToolTip()
{
    MainWindow window;
    trayicon *tray = trayOf(window);
    QCOMPARE(tray->metaObject()->className(), "trayicon");
    QCOMPARE(tray->parent(), &window);
    QVERIFY(!tray->icon().isNull());
    QCOMPARE(tray->toolTip(), QStringLiteral("朔玳"));
    QVERIFY(tray->isVisible());

    QMenu *menu = tray->contextMenu();
    QVERIFY(menu);
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("打开"));
    QVERIFY(!actions.at(0)->icon().isNull());
    QVERIFY(actions.at(1)->isSeparator());
    QCOMPARE(actions.at(2)->text(), QStringLiteral("退出"));
    QVERIFY(!actions.at(2)->icon().isNull());
    QCOMPARE(actions.at(0)->parent(), tray);
    QCOMPARE(actions.at(2)->parent(), tray);
    // The two entries show different pictures.
    QVERIFY(actions.at(0)->icon().pixmap(16).toImage() != actions.at(2)->icon().pixmap(16).toImage());
}

void TestTrayIcon::doubleClickTogglesTheWindow()
{
    MainWindow window;
    trayicon *tray = trayOf(window);
    QVERIFY(window.isHidden());
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window.isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window.isHidden());
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window.isVisible());

    // A minimised window that is hidden comes back in its normal state.
    window.showMinimized();
    window.hide();
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
}

void TestTrayIcon::otherActivationsDoNothing_data()
{
    QTest::addColumn<int>("reason");
    QTest::newRow("single click") << int(QSystemTrayIcon::Trigger);
    QTest::newRow("context menu") << int(QSystemTrayIcon::Context);
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick);
    QTest::newRow("unknown") << int(QSystemTrayIcon::Unknown);
}

void TestTrayIcon::otherActivationsDoNothing()
{
    QFETCH(int, reason);
    MainWindow window;
    trayicon *tray = trayOf(window);
    emit tray->activated(QSystemTrayIcon::ActivationReason(reason));
    QVERIFY(window.isHidden());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    emit tray->activated(QSystemTrayIcon::ActivationReason(reason));
    QVERIFY(window.isVisible());
}

void TestTrayIcon::openShowsAndRestores()
{
    MainWindow window;
    QAction *open = menuAction(trayOf(window), QStringLiteral("打开"));
    open->trigger();
    QVERIFY(window.isVisible());
    window.showMinimized();
    QVERIFY(window.isMinimized());
    open->trigger();
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    open->trigger();   // already shown: stays shown
    QVERIFY(window.isVisible());
    window.hide();
    open->trigger();
    QVERIFY(window.isVisible());
}

void TestTrayIcon::quitEndsTheEventLoop()
{
    MainWindow window;
    window.show();
    QAction *quit = menuAction(trayOf(window), QStringLiteral("退出"));
    QTimer::singleShot(50, quit, &QAction::trigger);
    QVERIFY(eventLoopEndsByQuit(10000));
}

void TestTrayIcon::quitDuringASearchStopsTheWorkerFirst()
{
    auto window = std::make_unique<MainWindow>();
    window->show();
    auto *worker = window->findChild<searchThread *>();
    QVERIFY(worker);
    bool workerRanWhileChildrenWent = false;
    QObject::connect(window->findChild<QTableView *>(), &QObject::destroyed, [&] {
        workerRanWhileChildrenWent = worker->isRunning();
    });
    QPointer<searchThread> watched(worker);
    // A long walk: the system's program folder, many times over.
    QList<QDir> roots;
    for (int i = 0; i < 50; ++i)
        roots << QDir(QStringLiteral("/usr"));
    worker->setSearchParam(roots, {QStringLiteral("*")}, QString(), Qt::CaseSensitive, true, false, false);
    worker->start();
    QTest::qWait(30);
    if (!worker->isRunning())
        QSKIP("the search ended before the quit");

    QAction *quit = menuAction(trayOf(*window), QStringLiteral("退出"));
    QTimer::singleShot(0, quit, &QAction::trigger);
    QVERIFY(eventLoopEndsByQuit(10000));
    QVERIFY(worker->isRunning() || worker->isFinished());
    QElapsedTimer clock;
    clock.start();
    window.reset();
    QVERIFY(watched.isNull());
    QVERIFY(!workerRanWhileChildrenWent);
    QVERIFY2(clock.elapsed() < 5000, "the worker did not stop promptly");
}

void TestTrayIcon::hidingFromTheTrayDoesNotEndTheProgram()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    emit trayOf(window)->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window.isHidden());
    QVERIFY(!eventLoopEndsByQuit(300));
    QCOMPARE(lastClosed.count(), 0);
}

QTEST_MAIN(TestTrayIcon)
#include "test_trayicon.moc"
