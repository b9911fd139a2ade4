// The help box, and closing the window while a search runs: to the background, stopping, or
// nothing; the ways back; and the worker always ended before the window goes.
#include "mainwindow.h"
#include "messageboxes.h"
#include "walk/searchthread.h"
#include "trayicon.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "temptree.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#if defined(__SANITIZE_THREAD__)
// Qt is not built with the thread sanitizer. Its own allocations and locks (those of the
// directory completer's file-gathering thread among them) are invisible to it and would
// be reported as races; only what the instrumented code does is checked.
extern "C" const char *__tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
#endif

namespace {

template<typename T>
T *child(QObject *root, const char *name = nullptr)
{
    T *found = name ? root->findChild<T *>(QLatin1String(name)) : root->findChild<T *>();
    if (!found)
        qFatal("missing child %s", name ? name : T::staticMetaObject.className());
    return found;
}

QAction *trayEntry(QObject *window, const QString &text)
{
    for (QAction *action : child<trayicon>(window)->contextMenu()->actions()) {
        if (action->text() == text)
            return action;
    }
    qFatal("no tray entry %s", qPrintable(text));
}

// Runs the application's event loop with `scenario` as its first event, and gives up after
// `limitMs` with the exit code 99. Returns exec()'s result.
int runEventLoop(const std::function<void()> &scenario, int limitMs = 60000)
{
    QTimer::singleShot(0, qApp, scenario);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    limit.start(limitMs);
    return QApplication::exec();
}

} // namespace

class TestBackground : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void helpBox();
    void closingWithoutSearchQuits();
    void yesRunsOnInTheBackground();
    void noStopsTheSearchAndQuits();
    void cancelChangesNothing();
    void secondStartBringsBackTheHiddenWindow();
    void trayBringsBackAfterTheSearchEnded();
    void trayQuitDuringASearchWaitsForTheWorker();

private:
    // Starts a name search over the tree with the search button and waits until the worker
    // holds at its first batch, where it stays until the gate opens.
    void startHeldSearch();
    void openGate() { gate.release(1000000); }

    std::unique_ptr<TempTree> tree;
    std::unique_ptr<MainWindow> window;
    searchThread *worker = nullptr;
    QSemaphore gate;
    std::atomic<int> hitsSent{0};
    std::atomic<int> batchesSent{0};
    std::atomic<bool> atGate{false};
    QList<MessageBoxes::Request> questions;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
};

void TestBackground::initTestCase()
{
    QVERIFY(QApplication::quitOnLastWindowClosed());
}

void TestBackground::init()
{
    tree = std::make_unique<TempTree>();
    for (int d = 0; d < 6; ++d)
        for (int f = 0; f < 4; ++f)
            tree->file(QStringLiteral("d%1/f%2.txt").arg(d).arg(f), "x");
    window = std::make_unique<MainWindow>();
    worker = child<searchThread>(window.get());
    gate.acquire(gate.available());
    hitsSent = 0;
    batchesSent = 0;
    atGate = false;
    questions.clear();
    answer = QMessageBox::Cancel;
    MessageBoxes::setAnswerer([this](const MessageBoxes::Request &request) {
        questions.append(request);
        return answer;
    });
}

void TestBackground::cleanup()
{
    openGate();
    window.reset();   // stops the worker and waits for it
    MessageBoxes::setAnswerer({});
    tree.reset();
}

void TestBackground::startHeldSearch()
{
    connect(worker, &searchThread::PushGotFiles, worker,
            [this](const QString &, const QList<TFileInfo> &hits) {
                atGate = true;
                gate.acquire();
                hitsSent += int(hits.size());
                ++batchesSent;
            },
            Qt::DirectConnection);
    auto *dirs = child<QComboBox>(window.get(), "comboBox_Dir");
    dirs->setEditText(tree->root());
    child<QComboBox>(window.get(), "comboBoxForFind")->setEditText(QStringLiteral("*"));
    child<QToolButton>(window.get(), "toolButtonSearchST")->click();
    QVERIFY(questions.isEmpty());   // the form was accepted
    QVERIFY(QTest::qWaitFor([&] { return atGate.load(); }, 30000));
    QVERIFY(worker->isRunning());
}

void TestBackground::helpBox()
{
    child<QToolButton>(window.get(), "toolButtonHelp")->click();
    QCOMPARE(questions.size(), 1);
    const MessageBoxes::Request &box = questions.first();
    QCOMPARE(box.parent, window.get());
    QCOMPARE(box.title, QStringLiteral("帮助"));
    QCOMPARE(box.buttons, QMessageBox::Ok);
    QCOMPARE(box.text,
             QStringLiteral("搜索文件 : 填写文件名\n"
                            "搜索内容 : 填写内容\n"
                            "搜索指定文件的内容 : 填写文件名，填写内容\n"
                            "深度搜索 : 只在搜索文件内容时有效，可以识别多种编码,搜索office 文件时建议选择该选项\n"
                            "\n"
                            "如有任何改进建议，请联系https://github.com/quorvel/quorvel"));
}

void TestBackground::closingWithoutSearchQuits()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    bool closed = false;
    const int result = runEventLoop([&] { closed = window->close(); });
    QCOMPARE(result, 0);   // the event loop ended because the last window closed
    QVERIFY(closed);
    QVERIFY(questions.isEmpty());
    QVERIFY(!window->isVisible());
}

void TestBackground::yesRunsOnInTheBackground()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    startHeldSearch();
    answer = QMessageBox::Yes;
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);

    bool closed = true, hiddenAfterClose = false, runningAfterClose = false, finished = false;
    bool stillHidden = false, shownAgain = false, quitEarly = true;
    int rows = -1;
    QString count;
    const int result = runEventLoop([&] {
        closed = window->close();
        hiddenAfterClose = window->isHidden();
        runningAfterClose = worker->isRunning() && !worker->isInterruptionRequested();
        openGate();
        finished = QTest::qWaitFor([&] { return !worker->isRunning(); }, 30000);
        QTableView *table = child<QTableView>(window.get(), "tableView_result");
        const bool allShown = QTest::qWaitFor([&] { return table->model()->rowCount() == hitsSent; }, 10000);
        Q_UNUSED(allShown)   // compared below, once the event loop has ended
        QTest::qWait(50);
        stillHidden = window->isHidden();
        quitEarly = lastClosed.count() > 0;
        trayEntry(window.get(), QStringLiteral("打开"))->trigger();
        shownAgain = window->isVisible();
        rows = table->model()->rowCount();
        count = child<QLabel>(window.get(), "countLabel")->text();
        trayEntry(window.get(), QStringLiteral("退出"))->trigger();
    });
    QCOMPARE(result, 0);
    QCOMPARE(questions.size(), 1);
    const MessageBoxes::Request &q = questions.first();
    QCOMPARE(q.parent, window.get());
    QCOMPARE(q.title, QStringLiteral("警告"));
    QCOMPARE(q.text, QStringLiteral("正在执行搜索任务，是否转入后台运行？"));
    QCOMPARE(q.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(q.defaultButton, QMessageBox::Cancel);
    QVERIFY(!closed);
    QVERIFY(hiddenAfterClose);
    QVERIFY(runningAfterClose);
    QVERIFY(finished);
    QVERIFY(stillHidden);
    QVERIFY(!quitEarly);
    QVERIFY(shownAgain);
    QCOMPARE(batchesSent.load(), 7);   // six folders and the root with them
    QCOMPARE(hitsSent.load(), 6 * 4 + 6);
    QCOMPARE(rows, hitsSent.load());
    QCOMPARE(count, QStringLiteral("找到目标数:%1").arg(hitsSent.load()));
}

void TestBackground::noStopsTheSearchAndQuits()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    startHeldSearch();
    answer = QMessageBox::No;
    bool closed = false, stopAsked = false;
    const int result = runEventLoop([&] {
        closed = window->close();
        stopAsked = worker->isInterruptionRequested();
    });
    QCOMPARE(result, 0);   // the program ends
    QCOMPARE(questions.size(), 1);
    QVERIFY(closed);
    QVERIFY(stopAsked);
    QVERIFY(!window->isVisible());

    openGate();
    QVERIFY(worker->wait(30000));
    QCOMPARE(batchesSent.load(), 1);   // nothing after the stop but the batch on its way
}

void TestBackground::cancelChangesNothing()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    startHeldSearch();
    for (QMessageBox::StandardButton button : {QMessageBox::Cancel, QMessageBox::NoButton}) {
        answer = button;   // NoButton: the box closed without an answer
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QVERIFY(worker->isRunning());
        QVERIFY(!worker->isInterruptionRequested());
    }
    QCOMPARE(questions.size(), 2);
    openGate();
    QVERIFY(QTest::qWaitFor([&] { return !worker->isRunning(); }, 30000));
    QCOMPARE(batchesSent.load(), 7);
}

void TestBackground::secondStartBringsBackTheHiddenWindow()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    startHeldSearch();
    answer = QMessageBox::Yes;
    QVERIFY(!window->close());
    QVERIFY(window->isHidden());
    QVERIFY(QMetaObject::invokeMethod(window.get(), "do_show"));   // what a second start leads to
    QVERIFY(window->isVisible());
    QVERIFY(worker->isRunning());
}

void TestBackground::trayBringsBackAfterTheSearchEnded()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    startHeldSearch();
    answer = QMessageBox::Yes;
    QVERIFY(!window->close());
    openGate();
    QVERIFY(QTest::qWaitFor([&] { return !worker->isRunning(); }, 30000));
    QVERIFY(window->isHidden());
    QVERIFY(QMetaObject::invokeMethod(child<trayicon>(window.get()), "iconIsActived",
                                      Q_ARG(QSystemTrayIcon::ActivationReason, QSystemTrayIcon::DoubleClick)));
    QVERIFY(window->isVisible());

    // With no search running, closing now ends the program without a question.
    const int asked = int(questions.size());
    const int result = runEventLoop([&] { window->close(); });
    QCOMPARE(result, 0);
    QCOMPARE(int(questions.size()), asked);
}

void TestBackground::trayQuitDuringASearchWaitsForTheWorker()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    std::atomic<bool> workerEnded{false};
    connect(worker, &QThread::finished, worker, [&] { workerEnded = true; }, Qt::DirectConnection);
    startHeldSearch();
    const int result = runEventLoop([&] { trayEntry(window.get(), QStringLiteral("退出"))->trigger(); });
    QCOMPARE(result, 0);
    QVERIFY(questions.isEmpty());   // no question on this way out
    QVERIFY(worker->isRunning());

    // The worker is held at its first batch while the window goes; the window must wait.
    QPointer<searchThread> watched(worker);
    std::thread opener([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        openGate();
    });
    window.reset();
    opener.join();
    QVERIFY(workerEnded);
    QVERIFY(watched.isNull());
    QCOMPARE(batchesSent.load(), 1);
}

QTEST_MAIN(TestBackground)
#include "test_background.moc"
