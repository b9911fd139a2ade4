#include "windowaccess.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "temptree.h"

#include <functional>
#include <memory>

namespace {

// Runs `action` at each event pause of the display tick: it is posted once and posts itself
// again, and Qt handles events posted during a pass only at the next one.
class PauseProbe : public QObject
{
public:
    explicit PauseProbe(std::function<void(int pause)> action)
        : action(std::move(action))
    {
        arm();
    }
    int pauses = 0;
    bool enabled = true;

private:
    void arm()
    {
        QMetaObject::invokeMethod(this, [this] {
            if (!enabled)
                return;
            ++pauses;
            action(pauses);
            arm();
        }, Qt::QueuedConnection);
    }
    std::function<void(int)> action;
};

const QString found = QStringLiteral("找到目标数:");

} // namespace

class TestResultPresentation : public QObject
{
    Q_OBJECT

private slots:
    void init() { window = std::make_unique<MainWindow>(); }
    void cleanup() { window.reset(); }

    void idleWindowKeepsZeroCountAndRests();
    void receivingOnlyQueuesAndCounts();
    void atMostTenBatchesPerTick();
    void eventsAreHandledAfterEvery500thRow();
    void stopShowingDuringAPauseDropsTheRest();
    void stopShowingWithEverythingShownHasNoSuffix();
    void stopShowingBetweenTicksEmptiesTheQueue();
    void longTablePausesAlikeAndShowsEveryRow();
    void stopShowingInALongTableCountsEveryBuiltRow();
    void longTableFitsItsColumnsSoonAfterDraining();
    void tickNeverRunsNested();
    void busyBarStepsOncePerPassAndWraps();
    void timerWakesForBatchesAndRestsAfter();
    void rowCellsOfNameContentAndArchiveHits();
    void headerClickSortsLineNumbersAsNumbers();
    void selectedRowsReadThroughTheModel();

private:
    QTimer *showTimer() { return windowChild<QTimer>(window.get(), "showTimer"); }
    QProgressBar *busyBar() { return windowChild<QProgressBar>(window.get(), "busyBar"); }

    std::unique_ptr<MainWindow> window;
};

void TestResultPresentation::idleWindowKeepsZeroCountAndRests()
{
    QProgressBar *bar = busyBar();
    const int value = bar->value();
    QTest::qWait(50);
    QCOMPARE(countText(window.get()), found + QStringLiteral("0"));
    QVERIFY(bar->isHidden());
    QCOMPARE(bar->value(), value);
    // The first tick fitted the columns of the empty table to their headers and found
    // nothing else to do: the timer rests instead of firing at every pass of the event loop.
    QVERIFY(resultTable(window.get())->columnWidth(1) != 250);
    QVERIFY(!showTimer()->isActive());
    QTest::qWait(20);
    QCOMPARE(countText(window.get()), found + QStringLiteral("0"));
}

void TestResultPresentation::receivingOnlyQueuesAndCounts()
{
    displayTick(window.get());
    deliverBatch(window.get(), QStringLiteral("/d"), nameHits(QStringLiteral("f"), 4));
    deliverBatch(window.get(), QStringLiteral("/e"), nameHits(QStringLiteral("g"), 3));
    QCOMPARE(shownRows(window.get()), 0);
    QCOMPARE(countText(window.get()), found + QStringLiteral("0"));   // the next tick shows it
    displayTick(window.get());
    QCOMPARE(shownRows(window.get()), 7);
    QCOMPARE(countText(window.get()), found + QStringLiteral("7"));
    QCOMPARE(cell(window.get(), 4, 1), QStringLiteral("/e"));
    QCOMPARE(cell(window.get(), 4, 0), QStringLiteral("g0"));
}

void TestResultPresentation::atMostTenBatchesPerTick()
{
    QTableView *table = resultTable(window.get());
    QCOMPARE(table->columnWidth(0), 80);
    deliverBatch(window.get(), QStringLiteral("/first"),
                 nameHits(QStringLiteral("a-rather-long-file-name-that-needs-a-wide-column-"), 3));
    for (int b = 1; b < 25; ++b)
        deliverBatch(window.get(), QStringLiteral("/d") + QString::number(b), nameHits(QStringLiteral("f"), 3));

    displayTick(window.get());
    QCOMPARE(shownRows(window.get()), 30);
    QCOMPARE(table->columnWidth(0), 80);   // not fitted while batches remain
    displayTick(window.get());
    QCOMPARE(shownRows(window.get()), 60);
    QCOMPARE(table->columnWidth(0), 80);
    displayTick(window.get());
    QCOMPARE(shownRows(window.get()), 75);
    QVERIFY(table->columnWidth(0) > 200);   // drained: fitted in the same tick
    QCOMPARE(cell(window.get(), 74, 1), QStringLiteral("/d24"));
    QCOMPARE(countText(window.get()), found + QStringLiteral("75"));
}

void TestResultPresentation::eventsAreHandledAfterEvery500thRow()
{
    QTableView *table = resultTable(window.get());
    deliverBatch(window.get(), QStringLiteral("/big"),
                 nameHits(QStringLiteral("a-rather-long-file-name-that-needs-a-wide-column-"), 1200));
    QList<int> rowsAtPause;
    QList<int> widthAtPause;
    PauseProbe probe([&](int) {
        rowsAtPause << shownRows(window.get());
        widthAtPause << table->columnWidth(0);
    });
    displayTick(window.get());
    probe.enabled = false;
    QCOMPARE(rowsAtPause, (QList<int>{501, 1001}));
    QCOMPARE(widthAtPause, (QList<int>{80, 80}));
    QCOMPARE(shownRows(window.get()), 1200);
    QVERIFY(table->columnWidth(0) > 200);
}

void TestResultPresentation::stopShowingDuringAPauseDropsTheRest()
{
    deliverBatch(window.get(), QStringLiteral("/big"), nameHits(QStringLiteral("f"), 2000));
    PauseProbe probe([&](int pause) {
        if (pause == 1)
            callSlot(window.get(), "do_stopShowTab");
    });
    displayTick(window.get());
    probe.enabled = false;
    QCOMPARE(probe.pauses, 1);
    QCOMPARE(shownRows(window.get()), 501);
    const QString summary = QStringLiteral("找到文件数:2000        尚有1499个文件未显示");
    QCOMPARE(countText(window.get()), summary);

    // The rest is gone, not queued; the summary stays while nothing new is shown.
    displayTick(window.get());
    QTest::qWait(30);
    QCOMPARE(shownRows(window.get()), 501);
    QCOMPARE(countText(window.get()), summary);

    // Later batches are shown as usual and bring the running count back.
    deliverBatch(window.get(), QStringLiteral("/later"), nameHits(QStringLiteral("g"), 800));
    displayTick(window.get());
    QCOMPARE(shownRows(window.get()), 1301);
    QCOMPARE(cell(window.get(), 501, 0), QStringLiteral("g0"));
    QCOMPARE(countText(window.get()), found + QStringLiteral("2800"));
}

void TestResultPresentation::stopShowingWithEverythingShownHasNoSuffix()
{
    deliverBatch(window.get(), QStringLiteral("/d"), nameHits(QStringLiteral("f"), 12));
    displayTick(window.get());
    callSlot(window.get(), "do_stopShowTab");
    QCOMPARE(countText(window.get()), QStringLiteral("找到文件数:12"));
    displayTick(window.get());
    QCOMPARE(countText(window.get()), QStringLiteral("找到文件数:12"));
}

void TestResultPresentation::stopShowingBetweenTicksEmptiesTheQueue()
{
    deliverBatch(window.get(), QStringLiteral("/d"), nameHits(QStringLiteral("f"), 5));
    displayTick(window.get());
    deliverBatch(window.get(), QStringLiteral("/e"), nameHits(QStringLiteral("g"), 3));
    deliverBatch(window.get(), QStringLiteral("/f"), nameHits(QStringLiteral("h"), 4));
    callSlot(window.get(), "do_stopShowTab");
    QCOMPARE(countText(window.get()), QStringLiteral("找到文件数:12        尚有7个文件未显示"));
    // The request itself has no effect on the next tick, which just finds nothing queued.
    deliverBatch(window.get(), QStringLiteral("/g"), nameHits(QStringLiteral("i"), 2));
    displayTick(window.get());
    QCOMPARE(shownRows(window.get()), 7);
    QCOMPARE(cell(window.get(), 5, 0), QStringLiteral("i0"));
    QCOMPARE(countText(window.get()), found + QStringLiteral("14"));
}

// Once the table is long, rows reach the view less often than at every pause; the pauses stay
// where they are, and every row is there when the queue has drained.
void TestResultPresentation::longTablePausesAlikeAndShowsEveryRow()
{
    QAbstractItemModel *model = resultTable(window.get())->model();
    QSignalSpy insertions(model, &QAbstractItemModel::rowsInserted);
    deliverBatch(window.get(), QStringLiteral("/long"), nameHits(QStringLiteral("f"), 25000));
    QList<int> rowsAtPause;
    PauseProbe probe([&](int) { rowsAtPause << shownRows(window.get()); });
    displayTick(window.get());
    probe.enabled = false;
    QCOMPARE(rowsAtPause.size(), 49);
    for (int k = 0; k < rowsAtPause.size(); ++k) {
        const int built = 500 * (k + 1) + 1;
        if (built <= 10000)
            QCOMPARE(rowsAtPause.at(k), built);   // a short table gets every row at once
        QVERIFY(rowsAtPause.at(k) <= built);
        QVERIFY(k == 0 || rowsAtPause.at(k) >= rowsAtPause.at(k - 1));
    }
    QCOMPARE(shownRows(window.get()), 25000);
    QVERIFY(insertions.size() <= 50);
    QCOMPARE(cell(window.get(), 24999, 0), QStringLiteral("f24999"));
}

void TestResultPresentation::stopShowingInALongTableCountsEveryBuiltRow()
{
    deliverBatch(window.get(), QStringLiteral("/long"), nameHits(QStringLiteral("f"), 20000));
    PauseProbe probe([&](int pause) {
        if (pause == 30)
            callSlot(window.get(), "do_stopShowTab");
    });
    displayTick(window.get());
    probe.enabled = false;
    QCOMPARE(shownRows(window.get()), 15001);
    QCOMPARE(countText(window.get()), QStringLiteral("找到文件数:20000        尚有4999个文件未显示"));
    QCOMPARE(cell(window.get(), 15000, 0), QStringLiteral("f15000"));
}

void TestResultPresentation::longTableFitsItsColumnsSoonAfterDraining()
{
    deliverBatch(window.get(), QStringLiteral("/long"), nameHits(QStringLiteral("f"), 12000));
    displayTick(window.get());
    QCOMPARE(shownRows(window.get()), 12000);
    deliverBatch(window.get(), QStringLiteral("/more"), nameHits(QStringLiteral("g"), 3));
    displayTick(window.get());
    QCOMPARE(shownRows(window.get()), 12003);
    // The columns were fitted a moment ago: the fit of the drained queue waits for its turn
    // without spinning, then happens and the timer rests.
    if (showTimer()->isActive()) {
        QVERIFY(showTimer()->interval() > 0);
        QVERIFY(showTimer()->interval() <= 500);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!showTimer()->isActive(), 3000);
}

void TestResultPresentation::tickNeverRunsNested()
{
    deliverBatch(window.get(), QStringLiteral("/a"), nameHits(QStringLiteral("f"), 600));
    deliverBatch(window.get(), QStringLiteral("/b"), nameHits(QStringLiteral("g"), 3));
    int rowsAfterNestedCall = -1;
    PauseProbe probe([&](int pause) {
        if (pause == 1) {
            displayTick(window.get());
            rowsAfterNestedCall = shownRows(window.get());
        }
    });
    displayTick(window.get());
    probe.enabled = false;
    QCOMPARE(rowsAfterNestedCall, 501);
    QCOMPARE(shownRows(window.get()), 603);
    QCOMPARE(cell(window.get(), 600, 1), QStringLiteral("/b"));
}

void TestResultPresentation::busyBarStepsOncePerPassAndWraps()
{
    QProgressBar *bar = busyBar();
    displayTick(window.get());
    bar->show();
    for (int b = 0; b < 25; ++b)
        deliverBatch(window.get(), QStringLiteral("/d"), nameHits(QStringLiteral("f"), 1));
    displayTick(window.get());
    QCOMPARE(bar->value(), 10);
    displayTick(window.get());
    QCOMPARE(bar->value(), 20);
    displayTick(window.get());   // five batches, then the pass that finds the queue empty
    QCOMPARE(bar->value(), 26);
    for (int i = 26; i < 399; ++i)
        displayTick(window.get());
    QCOMPARE(bar->value(), 399);
    displayTick(window.get());
    QCOMPARE(bar->value(), 0);
    displayTick(window.get());
    QCOMPARE(bar->value(), 1);
    // With the bar shown and nothing queued the tick keeps the bar moving, at a calm pace.
    QVERIFY(showTimer()->isActive());
    QVERIFY(showTimer()->interval() > 0);
    QTRY_VERIFY(bar->value() > 3);
}

void TestResultPresentation::timerWakesForBatchesAndRestsAfter()
{
    QTRY_VERIFY(!showTimer()->isActive());
    deliverBatch(window.get(), QStringLiteral("/d"), nameHits(QStringLiteral("f"), 3));
    QVERIFY(showTimer()->isActive());
    QCOMPARE(showTimer()->interval(), 0);
    QTRY_COMPARE(shownRows(window.get()), 3);
    QTRY_VERIFY(!showTimer()->isActive());
    QCOMPARE(countText(window.get()), found + QStringLiteral("3"));
}

void TestResultPresentation::rowCellsOfNameContentAndArchiveHits()
{
    TempTree tree;
    const QString file = tree.file(QStringLiteral("notes.txt"), "one\ntwo\n");
    tree.file(QStringLiteral("a.zip"), "PK");
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime(QDate(2012, 3, 3), QTime(9, 5, 42)), QFileDevice::FileModificationTime));
    f.close();
    const QString dir = QDir::toNativeSeparators(tree.root());
    const QString inner = QStringLiteral("a.zip") + QDir::separator() + QStringLiteral("docs")
                          + QDir::separator() + QStringLiteral("x.txt");
    deliverBatch(window.get(), dir,
                 {TFileInfo{QStringLiteral("notes.txt"), 0, QString()},
                  TFileInfo{QStringLiteral("notes.txt"), 7, QStringLiteral("  a line  ")},
                  TFileInfo{inner, 3, QStringLiteral("inside")},
                  TFileInfo{QStringLiteral("vanished.txt"), 0, QString()}});
    displayTick(window.get());
    QCOMPARE(shownRows(window.get()), 4);
    // A name hit: empty line cells, the time of the file.
    QCOMPARE(cell(window.get(), 0, 0), QStringLiteral("notes.txt"));
    QCOMPARE(cell(window.get(), 0, 1), dir);
    QVERIFY(hasCell(window.get(), 0, 2));
    QCOMPARE(cell(window.get(), 0, 2), QString());
    QCOMPARE(cell(window.get(), 0, 3), QString());
    QCOMPARE(cell(window.get(), 0, 4), QStringLiteral("2012-03-03 09:05"));
    // A content hit.
    QCOMPARE(cell(window.get(), 1, 2), QStringLiteral("7"));
    QCOMPARE(cell(window.get(), 1, 3), QStringLiteral("  a line  "));
    QCOMPARE(cell(window.get(), 1, 4), QStringLiteral("2012-03-03 09:05"));
    // A hit inside an archive has no time cell, nor has a file gone meanwhile.
    QCOMPARE(cell(window.get(), 2, 0), inner);
    QCOMPARE(cell(window.get(), 2, 2), QStringLiteral("3"));
    QVERIFY(!hasCell(window.get(), 2, 4));
    QVERIFY(!hasCell(window.get(), 3, 4));
}

void TestResultPresentation::headerClickSortsLineNumbersAsNumbers()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QList<TFileInfo> hits;
    for (int line : {10, 9, 100, 2})
        hits.append(TFileInfo{QStringLiteral("f.txt"), line, QStringLiteral("x")});
    deliverBatch(window.get(), QStringLiteral("/d"), hits);
    displayTick(window.get());

    QTableView *table = resultTable(window.get());
    QHeaderView *header = table->horizontalHeader();
    const int x = header->sectionViewportPosition(2) + header->sectionSize(2) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, header->height() / 2));
    QStringList order;
    for (int r = 0; r < 4; ++r)
        order << cell(window.get(), r, 2);
    if (header->sortIndicatorOrder() == Qt::DescendingOrder)
        std::reverse(order.begin(), order.end());
    QCOMPARE(order, (QStringList{"2", "9", "10", "100"}));

    // Rows that arrive later go below the sorted ones.
    deliverBatch(window.get(), QStringLiteral("/e"), {TFileInfo{QStringLiteral("g.txt"), 1, QStringLiteral("y")}});
    displayTick(window.get());
    QCOMPARE(cell(window.get(), 4, 2), QStringLiteral("1"));
}

void TestResultPresentation::selectedRowsReadThroughTheModel()
{
    deliverBatch(window.get(), QStringLiteral("/d"), nameHits(QStringLiteral("f"), 5));
    displayTick(window.get());
    QTableView *table = resultTable(window.get());
    table->selectRow(1);
    table->selectionModel()->select(table->model()->index(3, 2),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QModelIndexList rows = table->selectionModel()->selectedRows(0);
    QCOMPARE(rows.size(), 2);
    QStringList names;
    for (const QModelIndex &index : rows)
        names << table->model()->index(index.row(), 0).data().toString();
    names.sort();
    QCOMPARE(names, (QStringList{"f1", "f3"}));
}

QTEST_MAIN(TestResultPresentation)
#include "test_resultpresentation.moc"
