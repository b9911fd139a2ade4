// The form of the window and real searches started and stopped from it; queued batches turned
// into rows by the display tick (batches delivered by hand); closing the window while a search
// runs: to the background, stopping, or nothing, and the worker always ended before the window
// goes.
#include "eventloop.h"
#include "windowaccess.h"

#include "directorychooser.h"
#include "walk/searchthread.h"

#include <QCheckBox>
#include <QComboBox>
#include <QApplication>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <functional>

namespace {

// Runs a display tick and `action` at each of its event pauses: a call posted once posts itself
// again, and Qt handles events posted during a pass only at the next one. Returns the pauses.
int tickWithPauses(QObject *window, const std::function<void(int pause)> &action)
{
    QObject probe;   // what is still posted goes with it
    int pauses = 0;
    std::function<void()> arm = [&] {
        QMetaObject::invokeMethod(&probe, [&] {
            action(++pauses);
            arm();
        }, Qt::QueuedConnection);
    };
    arm();
    displayTick(window);
    return pauses;
}

// Hidden with a notification area to come back through; minimised where there is none.
bool awayInTheBackground(QWidget *window)
{
    return QSystemTrayIcon::isSystemTrayAvailable() ? window->isHidden()
                                                    : window->isVisible() && window->isMinimized();
}

} // namespace

class TestSearchControl : public QObject, WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        tree.file(QStringLiteral("alpha.txt"), "first line\nneedle here\n");
        tree.file(QStringLiteral("beta.log"), "no match\n");
        tree.file(QStringLiteral("sub/gamma.txt"), "needle\nneedle again\n");
        tree.file(QStringLiteral("sub/delta.md"), "nothing\n");
        tree.file(QStringLiteral("program/marker-here.txt"), "x");
        for (int d = 0; d < 6; ++d)
            for (int f = 0; f < 4; ++f)
                heldTree.file(QStringLiteral("d%1/f%2.txt").arg(d).arg(f), "x");
    }

    // The worker's starts are counted on its own thread.
    void init()
    {
        openWindow();
        starts = 0;
        connect(worker(), &QThread::started, worker(), [this] { ++starts; }, Qt::DirectConnection);
    }

    void cleanup()
    {
        openGate();
        closeWindow();   // stops the worker and waits for it
        DirectoryChooser::setChooser(nullptr);
    }

    // The archive folder is made, and the chooser opens at the field's first existing folder.
    void formIsWired()
    {
        QVERIFY(QFileInfo(state.path(QStringLiteral("tmp"))).isDir());
        window->setInitialDir(tree.root());
        combo("comboBox_Dir")->setEditText(QStringLiteral("/no-such-dir;") + tree.path(QStringLiteral("sub")));
        QString start;
        DirectoryChooser::setChooser([&](QWidget *parent, const QString &, const QString &s) {
            start = parent == window.get() ? s : QString();
            return QStringLiteral("/chosen");
        });
        windowChild<QToolButton>(window.get(), "toolButtonGetDir")->click();
        QCOMPARE(start, tree.path(QStringLiteral("sub")));
        QCOMPARE(combo("comboBox_Dir")->currentText(), QStringLiteral("/chosen"));
    }

    void searches_data()
    {
        QTest::addColumn<QString>("dir");      // below the tree
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("grep");
        QTest::addColumn<QString>("options");  // e exact, r not recursive, i ignore case
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("lineColumns");

        QTest::newRow("text without names searches every file")
            << "sub" << " ; ;" << "needle" << "" << QStringList{"gamma.txt", "gamma.txt"} << true;
        QTest::newRow("names only hide the line columns")
            << "" << " *.txt" << "  " << "" << QStringList{"alpha.txt", "gamma.txt", "marker-here.txt"} << false;
        QTest::newRow("options reach the worker")
            << "" << "ALPHA.TXT;gamma.txt" << "NEEDLE" << "eri" << QStringList{"alpha.txt"} << true;
        QTest::newRow("typed blanks are searched") << "" << "*.txt" << " here" << "" << QStringList{"alpha.txt"} << true;
    }

    void searches()
    {
        QFETCH(QString, dir);
        QFETCH(QString, names);
        QFETCH(QString, grep);
        QFETCH(QString, options);
        QFETCH(QStringList, expected);
        QFETCH(bool, lineColumns);
        box("checkBox_searchExact")->setChecked(options.contains(QLatin1Char('e')));
        box("checkBox_recursive")->setChecked(!options.contains(QLatin1Char('r')));
        box("checkBox_Ignore")->setChecked(options.contains(QLatin1Char('i')));
        setForm(tree.path(dir), names, grep);
        search();
        QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
        QVERIFY(boxes.isEmpty());
        QCOMPARE(column(0), expected);
        QCOMPARE(countText(window.get()), foundText(expected.size()));
        QCOMPARE(resultTable(window.get())->isColumnHidden(2), !lineColumns);
        QCOMPARE(resultTable(window.get())->isColumnHidden(3), !lineColumns);
        if (lineColumns && names == QLatin1String(" ; ;"))
            QCOMPARE(column(2), (QStringList{"1", "2"}));
    }

    // Nothing to search: blank names and text.
    void badFormWarnsAndStartsNothing()
    {
        const QString names = QStringLiteral(" ;");
        deliverBatch(window.get(), QStringLiteral("/old"), nameHits(QStringLiteral("old"), 3));
        displayTick(window.get());
        const int findItems = combo("comboBoxForFind")->count();
        setForm(tree.root(), names, QStringLiteral("   "));
        search();
        QCOMPARE(boxes.size(), 1);   // its text is the request's, proven with the request
        QTest::qWait(20);
        QCOMPARE(starts.load(), 0);
        QCOMPARE(shownRows(window.get()), 0);   // emptied before the checks
        QCOMPARE(countText(window.get()), foundText(0));
        QCOMPARE(combo("comboBoxForFind")->count(), findItems);
        QCOMPARE(combo("comboBoxForFind")->currentText(), names);
    }

    void completionNeverChangesWhatWasTyped_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("earlier");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");   // what ends the typing: Return, the button, a header
        for (const char *how : {"Return", "button", "header"}) {
            QTest::newRow(qPrintable(QStringLiteral("other case, %1").arg(how)))
                << "comboBoxForGrep" << "NEEDLE" << "needle" << how;
            QTest::newRow(qPrintable(QStringLiteral("a beginning, %1").arg(how)))
                << "comboBoxForFind" << "合同编号" << "合同" << how;
            QTest::newRow(qPrintable(QStringLiteral("directory, %1").arg(how)))
                << "comboBox_Dir" << "<tree>/sub" << "<tree>/SUB" << how;
            QTest::newRow(qPrintable(QStringLiteral("directory beginning, %1").arg(how)))
                << "comboBox_Dir" << "<tree>/sub" << "<tree>/su" << how;
        }
    }

    // What the user typed is what is searched, whatever the lists hold: completion proposes and
    // never picks. Events go through the window system, as a completer popup would take them.
    void completionNeverChangesWhatWasTyped()
    {
        QFETCH(QString, field);
        QFETCH(QString, earlier);
        QFETCH(QString, typed);
        QFETCH(QString, how);
        earlier.replace(QLatin1String("<tree>"), tree.root());
        typed.replace(QLatin1String("<tree>"), tree.root());
        QComboBox *edited = combo(qPrintable(field));
        setForm(tree.root(), QStringLiteral("nothing-matches"), QString());
        edited->addItem(earlier);
        edited->setEditText(QString());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        edited->lineEdit()->setFocus();
        QVERIFY(QTest::qWaitFor([&] { return edited->lineEdit()->hasFocus(); }));
        QInputMethodEvent typing;   // as an input method hands over Chinese text
        typing.setCommitString(typed);
        QApplication::sendEvent(edited->lineEdit(), &typing);
        QTest::qWait(100);   // the file system's names arrive late
        auto clickAt = [&](QWidget *target) {
            const QPoint at = target->mapTo(window.get(), target->rect().center());
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
        };
        if (how == QLatin1String("header"))
            clickAt(resultTable(window.get())->horizontalHeader());
        if (how == QLatin1String("Return"))
            QTest::keyClick(window->windowHandle(), Qt::Key_Return);
        else
            clickAt(searchButton());
        if (field == QLatin1String("comboBox_Dir")) {
            QTRY_COMPARE(boxes.size(), 1);
            QCOMPARE(boxes.first().text, QStringLiteral("目录名:%1 不存在").arg(typed));
        } else {
            QTRY_COMPARE(edited->count(), field == QLatin1String("comboBoxForGrep") ? 2 : 15);
            QCOMPARE(edited->itemText(edited->count() - 1), typed);
            QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
        }
        QCOMPARE(edited->currentText(), typed);
    }

    // A stopped worker may have ended while its finish is still on its way; until that is
    // handled the search counts as running, so its last batches cannot reach a new search.
    void secondPressBeforeTheFinishIsHandledStartsNothing()
    {
        setForm(QStringLiteral("/"), QStringLiteral("*"), QString());
        search();
        QTest::qWait(20);
        search();                   // stop
        worker()->wait(5000);       // ended, its finish not handled yet
        search();                   // must not start another search
        QCOMPARE(searchButton()->text(), QStringLiteral("停止"));
        QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
        QCOMPARE(starts.load(), 1);
        QCOMPARE(countText(window.get()), foundText(shownRows(window.get())));
    }

    void newSearchDuringAPauseDropsOldRows()
    {
        deliverBatch(window.get(), QStringLiteral("/old"), nameHits(QStringLiteral("old"), 2000));
        setForm(tree.root(), QStringLiteral("gamma"), QString());
        bool searched = false;
        QMetaObject::invokeMethod(window.get(), [&] {
            search();
            searched = true;
        }, Qt::QueuedConnection);
        displayTick(window.get());
        QVERIFY(searched);
        QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
        QCOMPARE(column(0), QStringList{QStringLiteral("gamma.txt")});
        QCOMPARE(countText(window.get()), foundText(1));
    }

    // Histories as the searches built them (the latest 50), the directories searched, the
    // options, the window's size and the column widths come back at the next start.
    void formIsRememberedAcrossStarts()
    {
        closeWindow();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("quorvel"), QStringLiteral("quorvel")).clear();
        openWindow(true);   // a first start: the form as built, with 13 names offered
        box("checkBox_recursive")->setChecked(false);
        box("checkBox_deepSearch")->setChecked(true);
        for (int i = 0; i < 2; ++i) {
            setForm(tree.root(), QStringLiteral("gamma"), QString());
            search();
            QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
        }
        for (int i = 1; i <= 60; ++i)
            combo("comboBoxForGrep")->addItem(QString::number(i));
        window->resize(700, 500);
        resultTable(window.get())->setColumnWidth(1, 333);
        closeWindow();

        openWindow(true);
        QComboBox *find = combo("comboBoxForFind");
        QCOMPARE(find->itemText(13) + find->itemText(14) + find->itemText(15), QStringLiteral("gammagamma"));
        QCOMPARE(find->currentText(), QStringLiteral("*"));
        QComboBox *grep = combo("comboBoxForGrep");
        QCOMPARE(grep->count(), 50);
        QCOMPARE(grep->itemText(0) + grep->itemText(49), QStringLiteral("1160"));
        QCOMPARE(grep->currentText(), QString());
        QVERIFY(combo("comboBox_Dir")->findText(tree.root()) > 0);
        QVERIFY(!box("checkBox_recursive")->isChecked() && box("checkBox_deepSearch")->isChecked());
        QCOMPARE(window->size(), QSize(700, 500));
        displayTick(window.get());
        QCOMPARE(resultTable(window.get())->columnWidth(1), 333);
    }

    void atMostTenBatchesPerTick()
    {
        for (int b = 0; b < 25; ++b)
            deliverBatch(window.get(), QStringLiteral("/d") + QString::number(b), nameHits(QStringLiteral("f"), 3));
        for (int shown : {30, 60, 75}) {
            displayTick(window.get());
            QCOMPARE(shownRows(window.get()), shown);
        }
        QCOMPARE(cell(window.get(), 74, 1), QStringLiteral("/d24"));
        QCOMPARE(countText(window.get()), foundText(75));
    }

    void stopShowingDuringAPauseDropsTheRest()
    {
        deliverBatch(window.get(), QStringLiteral("/big"), nameHits(QStringLiteral("f"), 2000));
        QCOMPARE(tickWithPauses(window.get(), [&](int pause) {
            if (pause == 1)
                callSlot(window.get(), "do_stopShowTab");
        }), 1);
        QCOMPARE(shownRows(window.get()), 501);
        const QString summary = QStringLiteral("找到文件数:2000        尚有1499个文件未显示");
        QCOMPARE(countText(window.get()), summary);

        // The rest is gone, not queued; the summary stays while nothing new is shown.
        displayTick(window.get());
        QCOMPARE(shownRows(window.get()), 501);
        QCOMPARE(countText(window.get()), summary);

        // Later batches are shown as usual and bring the running count back.
        deliverBatch(window.get(), QStringLiteral("/later"), nameHits(QStringLiteral("g"), 800));
        displayTick(window.get());
        QCOMPARE(shownRows(window.get()), 1301);
        QCOMPARE(cell(window.get(), 501, 0), QStringLiteral("g0"));
        QCOMPARE(countText(window.get()), foundText(2800));
    }

    void stopShowingBetweenTicksEmptiesTheQueue()
    {
        deliverBatch(window.get(), QStringLiteral("/d"), nameHits(QStringLiteral("f"), 5));
        displayTick(window.get());
        callSlot(window.get(), "do_stopShowTab");
        QCOMPARE(countText(window.get()), QStringLiteral("找到文件数:5"));   // everything shown: no rest
        deliverBatch(window.get(), QStringLiteral("/e"), nameHits(QStringLiteral("g"), 3));
        deliverBatch(window.get(), QStringLiteral("/f"), nameHits(QStringLiteral("h"), 4));
        callSlot(window.get(), "do_stopShowTab");
        QCOMPARE(countText(window.get()), QStringLiteral("找到文件数:12        尚有7个文件未显示"));
        deliverBatch(window.get(), QStringLiteral("/g"), nameHits(QStringLiteral("i"), 2));
        displayTick(window.get());
        QCOMPARE(shownRows(window.get()), 7);
        QCOMPARE(cell(window.get(), 5, 0), QStringLiteral("i0"));
        QCOMPARE(countText(window.get()), foundText(14));
    }

    // Once the table is long, rows reach the view in bulk: every row is there when the queue has
    // drained, and a stop counts every row built so far as shown.
    void longTableShowsEveryRowAndCountsWhatWasBuilt()
    {
        deliverBatch(window.get(), QStringLiteral("/long"), nameHits(QStringLiteral("f"), 25000));
        displayTick(window.get());
        QCOMPARE(shownRows(window.get()), 25000);
        QCOMPARE(cell(window.get(), 24999, 0), QStringLiteral("f24999"));

        deliverBatch(window.get(), QStringLiteral("/stopped"), nameHits(QStringLiteral("s"), 20000));
        tickWithPauses(window.get(), [&](int pause) {
            if (pause == 30)
                callSlot(window.get(), "do_stopShowTab");
        });
        QCOMPARE(shownRows(window.get()), 25000 + 15001);
        QCOMPARE(countText(window.get()), QStringLiteral("找到文件数:45000        尚有4999个文件未显示"));
    }

    void tickNeverRunsNested()
    {
        deliverBatch(window.get(), QStringLiteral("/a"), nameHits(QStringLiteral("f"), 600));
        deliverBatch(window.get(), QStringLiteral("/b"), nameHits(QStringLiteral("g"), 3));
        int rowsAfterNestedCall = -1;
        tickWithPauses(window.get(), [&](int pause) {
            if (pause == 1) {
                displayTick(window.get());
                rowsAfterNestedCall = shownRows(window.get());
            }
        });
        QCOMPARE(rowsAfterNestedCall, 501);
        QCOMPARE(shownRows(window.get()), 603);
        QCOMPARE(cell(window.get(), 600, 1), QStringLiteral("/b"));
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
            running = worker()->isRunning() && !worker()->isInterruptionRequested();
            openGate();
            finished = QTest::qWaitFor([&] { return !worker()->isRunning(); }, 30000);
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
        QCOMPARE(worker()->isInterruptionRequested(), ends);
        QCOMPARE(window->isVisible(), !ends);
        openGate();
        QVERIFY(worker()->wait(30000));
        QCOMPARE(batchesSent.load(), ends ? 1 : 7);   // after a stop, only the batch on its way
    }

private:
    // Shows the window, starts a name search over the tree with the search button and waits
    // until the worker holds at its first batch, where it stays until the gate opens.
    void startHeldSearch()
    {
        gate.acquire(gate.available());
        hitsSent = 0;
        batchesSent = 0;
        atGate = false;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        connect(worker(), &searchThread::PushGotFiles, worker(),
                [this](const QString &, const QList<TFileInfo> &hits) {
                    atGate = true;
                    gate.acquire();
                    hitsSent += int(hits.size());
                    ++batchesSent;
                },
                Qt::DirectConnection);
        setForm(heldTree.root(), QStringLiteral("*"), QString());
        searchButton()->click();
        QVERIFY(boxes.isEmpty());   // the form was accepted
        QVERIFY(QTest::qWaitFor([&] { return atGate.load(); }, 30000));
        QVERIFY(worker()->isRunning());
    }

    void openGate() { gate.release(1000000); }

    QComboBox *combo(const char *name) { return windowChild<QComboBox>(window.get(), name); }
    QCheckBox *box(const char *name) { return windowChild<QCheckBox>(window.get(), name); }
    QToolButton *searchButton() { return windowChild<QToolButton>(window.get(), "toolButtonSearchST"); }
    searchThread *worker() { return windowChild<searchThread>(window.get()); }

    void setForm(const QString &dir, const QString &names, const QString &grep)
    {
        combo("comboBox_Dir")->setEditText(dir);
        combo("comboBoxForFind")->setEditText(names);
        combo("comboBoxForGrep")->setEditText(grep);
    }

    void search() { callSlot(window.get(), "do_search"); }
    // The finish was handled and every queued batch is shown.
    bool settled()
    {
        return !worker()->isRunning() && searchButton()->text() == QStringLiteral("搜索")
               && !windowChild<QTimer>(window.get(), "showTimer")->isActive();
    }

    QStringList column(int c)
    {
        QStringList texts;
        for (int r = 0; r < shownRows(window.get()); ++r)
            texts << cell(window.get(), r, c);
        texts.sort();
        return texts;
    }

    TempTree tree, heldTree;
    std::atomic<int> starts{0};
    QSemaphore gate;
    std::atomic<int> hitsSent{0};
    std::atomic<int> batchesSent{0};
    std::atomic<bool> atGate{false};
};

QTEST_MAIN(TestSearchControl)
#include "test_searchcontrol.moc"
