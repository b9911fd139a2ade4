#pragma once

#include "walk/fileinfo.h"

#include <QList>
#include <QMainWindow>
#include <QPair>
#include <QString>

class QLabel;
class QProgressBar;
class QStandardItemModel;
class QTableView;
class QTimer;

// The plain way of showing hits, for comparison: a table over a QStandardItemModel with five
// text items per row, fed by a 0 ms timer that runs all the time, at most 10 batches per tick,
// events handled after every 500th row, columns fitted when the queue drains.
class StandardPresenter : public QMainWindow
{
    Q_OBJECT

public:
    StandardPresenter();

    QTableView *table() const { return view; }
    QTimer *timer() const { return showTimer; }
    QStandardItemModel *model() const { return itemModel; }
    void setSearching(bool searching);

public slots:
    void receive(const QString &dirName, const QList<TFileInfo> &hits);
    void tick();

private:
    QTableView *view;
    QStandardItemModel *itemModel;
    QTimer *showTimer;
    QLabel *countLabel;
    QProgressBar *busyBar;
    QList<QPair<QString, QList<TFileInfo>>> pending;
    int totalFound = 0;
    bool rowsAdded = true;
    int busyStep = 0;
    bool ticking = false;
};
