// Batches of hits from the worker, queued and turned into table rows by the display timer.
#include "mainwindow.h"

#include "hitstamps.h"
#include "mainwindowform.h"
#include "resultmodel.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int batchesPerTick = 10;
constexpr int rowsBetweenEventPauses = 500;
constexpr int busyBarSteps = 400;
// While a search runs and nothing is queued, the tick only moves the busy bar; at this pace
// the bar visibly moves without keeping a processor busy.
constexpr int busyBarPaceMs = 25;

} // namespace

void MainWindow::do_GetResultFileInfo(QString dirName, QList<TFileInfo> namelist)
{
    pendingBatches.append(qMakePair(dirName, namelist));
    totalFound += namelist.size();
    wakeDisplay();
}

// Makes the display tick run at every pass of the event loop.
void MainWindow::wakeDisplay()
{
    if (!showTimer->isActive() || showTimer->interval() != 0)
        showTimer->start(0);
}

// After a tick: tick again at once while batches wait, come back when a waiting column fit
// is due, move the busy bar at a calm pace while a search waits for hits, and rest otherwise.
void MainWindow::paceDisplay()
{
    int interval = -1;
    if (!pendingBatches.isEmpty()) {
        interval = 0;
    } else {
        if (rowsAdded)
            interval = displayPacing.msUntilFitDue(resultModel->rowCount());
        if (!busyBar->isHidden())
            interval = interval < 0 ? busyBarPaceMs : std::min(interval, busyBarPaceMs);
    }
    if (interval < 0)
        showTimer->stop();
    else if (!showTimer->isActive() || showTimer->interval() != interval)
        showTimer->start(interval);
}

// Hands the rows built so far to the table: now, or when the pacing of a long table allows.
void MainWindow::insertBuiltRows(bool evenIfNotDue)
{
    if (resultModel->stagedRowCount() == 0)
        return;
    if (!evenIfNotDue && !displayPacing.insertionDue(resultModel->rowCount()))
        return;
    resultModel->appendStagedRows();
    displayPacing.inserted();
}

void MainWindow::do_ShowResultFileInfo()
{
    if (displayTickRunning)
        return;
    displayTickRunning = true;
    stopShowing = false;   // only a request raised during this tick's event pauses counts

    for (int pass = 0; pass < batchesPerTick; ++pass) {
        if (!stopSummaryShown)
            countLabel->setText(tr("找到目标数:") + QString::number(totalFound));
        if (!busyBar->isHidden()) {
            if (++busyStep > busyBarSteps - 1)
                busyStep = 0;
            busyBar->setValue(busyStep);
        }
        if (pendingBatches.isEmpty()) {
            insertBuiltRows(true);
            if (rowsAdded && displayPacing.fitDue(resultModel->rowCount())) {
                ui->tableView_result->resizeColumnsToContents();
                displayPacing.fitted();
                rowsAdded = false;
            }
            break;
        }
        // Out of the queue before any row is built: a stop or a new search during an event
        // pause cannot touch it.
        const QPair<QString, QList<TFileInfo>> batch = pendingBatches.takeFirst();
        stopSummaryShown = false;
        if (!showBatch(batch.first, batch.second))
            break;
    }

    insertBuiltRows(false);
    displayTickRunning = false;
    paceDisplay();
}

// Appends one row per hit. After every 500th row the application handles its pending events;
// a stop request raised meanwhile drops the rest of the batch (it stays counted) and returns
// false. Rows between two pauses are appended in one insertion, which the user cannot tell
// from one at a time since nothing else runs in between; a long table gets them less often
// (DisplayPacing).
bool MainWindow::showBatch(const QString &dirName, const QList<TFileInfo> &hits)
{
    ResultModel *model = resultModel;
    const int batch = model->addBatch(dirName, hits);
    HitStampReader times(dirName.trimmed());
    std::vector<qint64> stamps;
    // Row by row up to the next pause (after rows 500, 1000, ...), the times of each run read at once.
    for (int from = 0; from < hits.size();) {
        const int last = std::min(int(hits.size()) - 1, (from / rowsBetweenEventPauses + 1) * rowsBetweenEventPauses);
        times.read(hits, from, last + 1, stamps);
        for (int j = from; j <= last; ++j)
            model->stageRow(batch, j, stamps[size_t(j - from)]);
        rowsAdded = true;
        from = last + 1;
        if (last > 0 && last % rowsBetweenEventPauses == 0) {
            insertBuiltRows(false);
            QCoreApplication::processEvents();
            if (stopShowing) {
                stopShowing = false;
                return false;
            }
        }
    }
    return true;
}

void MainWindow::do_stopShowTab()
{
    // Rows already built count as shown; they appear now.
    insertBuiltRows(true);
    const int shown = resultModel->rowCount();
    const int rest = totalFound - shown;
    QString summary = tr("找到文件数:") + QString::number(totalFound);
    if (rest >= 1)
        summary += tr("        尚有%1个文件未显示").arg(rest);
    countLabel->setText(summary);
    stopSummaryShown = true;
    pendingBatches.clear();
    stopShowing = true;
}
