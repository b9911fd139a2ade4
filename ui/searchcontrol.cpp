// Starting and stopping a search, the keys of the window, the directory chooser.
#include "mainwindow.h"

#include "directorychooser.h"
#include "mainwindowform.h"
#include "messageboxes.h"
#include "resultmodel.h"
#include "walk/searchrequest.h"
#include "walk/searchthread.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

namespace {

// Adds the trimmed text of `combo` as its last item, even when the list holds it already.
// Adding the first item of an empty list would make it the field's text; what the user
// typed stays instead.
void appendToHistory(QComboBox *combo)
{
    const QString typed = combo->currentText();
    const QString entry = typed.trimmed();
    if (entry.isEmpty())
        return;
    combo->addItem(entry);
    if (combo->currentText() != typed)
        combo->setEditText(typed);
}

} // namespace

// A search counts as running from its start until its finish has been handled: batches sent
// before the worker ended are still on their way until then, and must not reach a new search.
bool MainWindow::searchRunning() const
{
    return searchWorker->isRunning() || searchFinishPending;
}

void MainWindow::showCount()
{
    countLabel->setText(tr("找到目标数:") + QString::number(totalFound));
}

void MainWindow::setSearchButtonRunning(bool running)
{
    QToolButton *button = ui->toolButtonSearchST;
    if (running) {
        button->setIcon(QIcon(QStringLiteral(":/img/stop.png")));
        button->setText(tr("停止"));
        button->setToolTip(tr("停止搜索"));
    } else {
        button->setIcon(QIcon(QStringLiteral(":/img/smartsearch.png")));
        button->setText(tr("搜索"));
        button->setToolTip(tr("开始搜索"));
    }
}

// Empties the table for a new search: a fresh model, no queued batches, no count.
void MainWindow::resetResults()
{
    countLabel->clear();
    totalFound = 0;
    pendingBatches.clear();
    stopShowing = true;   // a display tick paused in its event processing breaks off
    stopSummaryShown = false;

    QTableView *table = ui->tableView_result;
    ResultModel *oldModel = resultModel;
    QItemSelectionModel *oldSelection = table->selectionModel();
    resultModel = buildResultModel();
    table->setModel(resultModel);
    // The view makes a new selection model for the new model and leaves the old one to us.
    delete oldSelection;
    delete oldModel;
}

void MainWindow::do_search()
{
    if (searchRunning()) {
        searchWorker->stopSearch();
        return;
    }
    resetResults();

    // Read once, as typed: adding to the histories below must not change what is searched.
    SearchForm form;
    form.dirText = ui->comboBox_Dir->currentText();
    form.nameText = ui->comboBoxForFind->currentText();
    form.grepText = ui->comboBoxForGrep->currentText();
    form.exactName = ui->checkBox_searchExact->isChecked();
    form.recursive = ui->checkBox_recursive->isChecked();
    form.ignoreCase = ui->checkBox_Ignore->isChecked();
    form.deepSearch = ui->checkBox_deepSearch->isChecked();

    SearchRequest request;
    SearchFormError error;
    const bool accepted = assembleSearchRequest(form, request, error);
    if (error.kind == SearchFormError::NothingToSearch) {
        MessageBoxes::warning(this, error.title(), error.text());
        showCount();
        return;
    }
    // Line numbers and line texts only mean something in a content search.
    const bool contentSearch = isContentSearch(form);
    ui->tableView_result->setColumnHidden(ResultModel::LineColumn, !contentSearch);
    ui->tableView_result->setColumnHidden(ResultModel::TextColumn, !contentSearch);
    if (!accepted) {
        MessageBoxes::warning(this, error.title(), error.text());
        showCount();
        return;
    }

    appendToHistory(ui->comboBoxForFind);
    appendToHistory(ui->comboBoxForGrep);
    rememberSearchedDirectory(form.dirText);
    if (environment.remembersState)
        saveRemembered();   // a program that ends unexpectedly still keeps its histories
    setSearchButtonRunning(true);

    searchWorker->setSearchParam(request.roots, request.namePatterns, request.grepText,
                                 request.caseSensitivity, request.recursive, request.exactName,
                                 request.deepSearch);
    searchFinishPending = true;
    searchWorker->start(QThread::InheritPriority);

    busyBar->show();
    busyStep = 0;
    wakeDisplay();
}

void MainWindow::do_brower_targetdir()
{
    const QString chosen = DirectoryChooser::choose(this, tr("选择查找路径"), chooserStartDir());
    if (chosen.isEmpty())
        return;
    QComboBox *dirs = ui->comboBox_Dir;
    dirs->addItem(chosen);
    dirs->setCurrentIndex(dirs->count() - 1);
}

// The chooser opens at the first existing folder of the directory field, else where the
// program was asked to start.
QString MainWindow::chooserStartDir() const
{
    const QStringList parts = ui->comboBox_Dir->currentText().split(QLatin1Char(';'));
    for (const QString &part : parts) {
        if (!part.trimmed().isEmpty() && QFileInfo(part).isDir())
            return part;
    }
    return browseStartDir;
}

void MainWindow::do_resume_searchFileIcon()
{
    searchFinishPending = false;
    ui->tableView_result->resizeColumnsToContents();
    setSearchButtonRunning(false);
    if (!stopSummaryShown)
        showCount();
    QApplication::alert(this, 0);
    busyBar->hide();
    // A search sent to the background tells its end through the notification area.
    if ((isHidden() || isMinimized()) && environment.notify)
        environment.notify(this, tr("搜索完成，找到目标数:%1").arg(totalFound));
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // The window handles its own keys; none go on to the base class.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        do_search();
        break;
    case Qt::Key_Escape:
        if (searchRunning()) {
            const QMessageBox::StandardButton answer = MessageBoxes::question(
                this, tr("警告"), tr("正在执行搜索任务，是否转入后台运行？"),
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel);
            if (answer == QMessageBox::Yes && QSystemTrayIcon::isSystemTrayAvailable())
                hide();
            else if (answer == QMessageBox::Yes)
                showMinimized();   // nothing would bring a hidden window back
            else if (answer == QMessageBox::No)
                searchWorker->stopSearch();
        }
        break;
    default:
        break;
    }
}
