#include "standardpresenter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

StandardPresenter::StandardPresenter()
{
    resize(972, 606);
    view = new QTableView(this);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setShowGrid(false);
    view->setSortingEnabled(true);
    setCentralWidget(view);
    itemModel = new QStandardItemModel(0, 5, this);
    const char *headers[] = {"文件名", "目录", "行号", "内容", "修改时间"};
    for (int s = 0; s < 5; ++s)
        itemModel->setHeaderData(s, Qt::Horizontal, QString::fromUtf8(headers[s]), Qt::EditRole);
    view->setModel(itemModel);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    countLabel = new QLabel(this);
    busyBar = new QProgressBar(this);
    busyBar->setRange(0, 400);
    busyBar->setTextVisible(false);
    busyBar->hide();
    statusBar()->addWidget(busyBar);
    statusBar()->addWidget(countLabel);

    showTimer = new QTimer(this);
    connect(showTimer, &QTimer::timeout, this, &StandardPresenter::tick);
    showTimer->start(0);
}

void StandardPresenter::setSearching(bool searching)
{
    busyBar->setVisible(searching);
}

void StandardPresenter::receive(const QString &dirName, const QList<TFileInfo> &hits)
{
    pending.append(qMakePair(dirName, hits));
    totalFound += hits.size();
}

void StandardPresenter::tick()
{
    if (ticking)
        return;
    ticking = true;
    for (int pass = 0; pass < 10; ++pass) {
        countLabel->setText(QStringLiteral("找到目标数:") + QString::number(totalFound));
        if (!busyBar->isHidden()) {
            if (++busyStep > 399)
                busyStep = 0;
            busyBar->setValue(busyStep);
        }
        if (pending.isEmpty()) {
            if (rowsAdded) {
                view->resizeColumnsToContents();
                rowsAdded = false;
            }
            break;
        }
        const QPair<QString, QList<TFileInfo>> batch = pending.takeFirst();
        const QList<TFileInfo> &hits = batch.second;
        for (int j = 0; j < hits.size(); ++j) {
            const TFileInfo &hit = hits.at(j);
            QList<QStandardItem *> row;
            row << new QStandardItem(hit.fileName.trimmed()) << new QStandardItem(batch.first)
                << new QStandardItem(hit.lineNo ? QString::number(hit.lineNo) : QString())
                << new QStandardItem(hit.lineText);
            const QFileInfo info(batch.first.trimmed() + QDir::separator() + hit.fileName.trimmed());
            if (info.exists())
                row << new QStandardItem(info.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm")));
            itemModel->appendRow(row);
            rowsAdded = true;
            if (j > 0 && j % 500 == 0)
                QCoreApplication::processEvents();
        }
    }
    ticking = false;
}
