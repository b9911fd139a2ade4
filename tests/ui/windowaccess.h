#pragma once

#include "walk/fileinfo.h"
#include "mainwindow.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QMetaObject>
#include <QTableView>

// Reaching into the window as the event loop would: its widgets by object name, its slots by
// name (they are private), and the cells of its result table through the plain model API.
template<typename T>
T *windowChild(QObject *root, const char *name)
{
    T *found = root->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

inline void callSlot(MainWindow *window, const char *slot)
{
    if (!QMetaObject::invokeMethod(window, slot, Qt::DirectConnection))
        qFatal("no slot %s", slot);
}

// Delivers a batch as the worker's signal would.
inline void deliverBatch(MainWindow *window, const QString &dirName, const QList<TFileInfo> &hits)
{
    if (!QMetaObject::invokeMethod(window, "do_GetResultFileInfo", Qt::DirectConnection,
                                   Q_ARG(QString, dirName), Q_ARG(QList<TFileInfo>, hits)))
        qFatal("no slot do_GetResultFileInfo");
}

inline void displayTick(MainWindow *window)
{
    callSlot(window, "do_ShowResultFileInfo");
}

inline QTableView *resultTable(QObject *window)
{
    return windowChild<QTableView>(window, "tableView_result");
}

inline int shownRows(QObject *window)
{
    return resultTable(window)->model()->rowCount();
}

inline QString cell(QObject *window, int row, int column)
{
    const QAbstractItemModel *model = resultTable(window)->model();
    return model->index(row, column).data().toString();
}

inline bool hasCell(QObject *window, int row, int column)
{
    const QAbstractItemModel *model = resultTable(window)->model();
    return model->index(row, column).data().isValid();
}

inline QString countText(QObject *window)
{
    return windowChild<QLabel>(window, "countLabel")->text();
}

inline QList<TFileInfo> nameHits(const QString &prefix, int count)
{
    QList<TFileInfo> hits;
    hits.reserve(count);
    for (int i = 0; i < count; ++i)
        hits.append(TFileInfo{prefix + QString::number(i), 0, QString()});
    return hits;
}
