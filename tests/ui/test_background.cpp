// Closing the window while a search runs: to the background, stopping, or nothing; and the
// worker always ended before the window goes.
#include "eventloop.h"
#include "windowaccess.h"

#include "walk/searchthread.h"

#include <QApplication>
#include <QComboBox>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QToolButton>

#include <atomic>

// Hidden with a notification area to come back through; minimised where there is none.
static bool awayInTheBackground(QWidget *window)
{
    return QSystemTrayIcon::isSystemTrayAvailable() ? window->isHidden()
                                                    : window->isVisible() && window->isMinimized();
}

class TestBackground : public QObject, WindowFixture
{
    Q_OBJECT

private slots:
    void init()
    {
        for (int d = 0; d < 6; ++d)
            for (int f = 0; f < 4; ++f)
                tree.file(QStringLiteral("d%1/f%2.txt").arg(d).arg(f), "x");
        openWindow();
        worker = windowChild<searchThread>(window.get());
        gate.acquire(gate.available());
        hitsSent = 0;
        batchesSent = 0;
        atGate = false;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup()
    {
        openGate();
        closeWindow();   // stops the worker and waits for it
    }

    // Yes hides the window; the search goes on and every hit reaches the hidden table, the
    // program does not end, and a second start (do_show) brings the window back.
    void yesRunsOnInTheBackground()
    {
        startHeldSearch();
        answer = QMessageBox::Yes;
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        bool closed = true, hidden = false, running = false, finished = false, shownAgain = false;
        int rows = -1;
        const int result = runEventLoop(60000, [&] {
            closed = window->close();
            hidden = awayInTheBackground(window.get());
            running = worker->isRunning() && !worker->isInterruptionRequested();
            openGate();
            finished = QTest::qWaitFor([&] { return !worker->isRunning(); }, 30000);
            const bool allShown = QTest::qWaitFor([&] { return shownRows(window.get()) == hitsSent; }, 10000);
            Q_UNUSED(allShown)   // compared below, once the event loop has ended
            QTest::qWait(50);
            hidden = hidden && awayInTheBackground(window.get());
            rows = shownRows(window.get());
            callSlot(window.get(), "do_show");
            shownAgain = window->isVisible();
            QCoreApplication::exit(0);
        });
        QCOMPARE(result, 0);
        QCOMPARE(boxes.size(), 1);
        QVERIFY(!closed && hidden && running && finished && shownAgain);
        QCOMPARE(lastClosed.count(), 0);
        QCOMPARE(batchesSent.load(), 7);   // six folders and the root with them
        QCOMPARE(hitsSent.load(), 6 * 4 + 6);
        QCOMPARE(rows, hitsSent.load());
        QCOMPARE(countText(window.get()), foundText(hitsSent.load()));
        QCOMPARE(notices, QStringList{QStringLiteral("搜索完成，找到目标数:%1").arg(hitsSent.load())});
    }

    void otherAnswers_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("ends");   // No stops the search and the program; the others change nothing
        QTest::newRow("No") << int(QMessageBox::No) << true;
        QTest::newRow("Cancel") << int(QMessageBox::Cancel) << false;
        QTest::newRow("box closed without an answer") << int(QMessageBox::NoButton) << false;
    }

    void otherAnswers()
    {
        QFETCH(int, answer);
        QFETCH(bool, ends);
        startHeldSearch();
        this->answer = QMessageBox::StandardButton(answer);
        bool closed = !ends;
        const int result = runEventLoop(60000, [&] {
            closed = window->close();
            if (!closed)
                QCoreApplication::exit(1);
        });
        QCOMPARE(result, ends ? 0 : 1);   // 0: the program ends, as the last window closed
        QCOMPARE(closed, ends);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(worker->isInterruptionRequested(), ends);
        QCOMPARE(window->isVisible(), !ends);
        openGate();
        QVERIFY(worker->wait(30000));
        QCOMPARE(batchesSent.load(), ends ? 1 : 7);   // after a stop, only the batch on its way
    }

private:
    // Shows the window, starts a name search over the tree with the search button and waits
    // until the worker holds at its first batch, where it stays until the gate opens.

    void startHeldSearch()
    {
        connect(worker, &searchThread::PushGotFiles, worker,
                [this](const QString &, const QList<TFileInfo> &hits) {
                    atGate = true;
                    gate.acquire();
                    hitsSent += int(hits.size());
                    ++batchesSent;
                },
                Qt::DirectConnection);
        windowChild<QComboBox>(window.get(), "comboBox_Dir")->setEditText(tree.root());
        windowChild<QComboBox>(window.get(), "comboBoxForFind")->setEditText(QStringLiteral("*"));
        windowChild<QToolButton>(window.get(), "toolButtonSearchST")->click();
        QVERIFY(boxes.isEmpty());   // the form was accepted
        QVERIFY(QTest::qWaitFor([&] { return atGate.load(); }, 30000));
        QVERIFY(worker->isRunning());
    }

    void openGate() { gate.release(1000000); }

    TempTree tree;
    searchThread *worker = nullptr;
    QSemaphore gate;
    std::atomic<int> hitsSent{0};
    std::atomic<int> batchesSent{0};
    std::atomic<bool> atGate{false};
};

QTEST_MAIN(TestBackground)
#include "test_background.moc"
