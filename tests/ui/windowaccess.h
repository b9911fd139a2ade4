#pragma once

#include "mainwindow.h"
#include "messageboxes.h"
#include "walk/fileinfo.h"

#include "temptree.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QMetaObject>
#include <QTableView>

#include <memory>

// Reaching into the window as the event loop would: its widgets by object name, its slots by
// name (they are private), and the cells of its result table through the plain model API.
template<typename T>
T *windowChild(QObject *root, const char *name = nullptr)
{
    T *found = name ? root->findChild<T *>(QLatin1String(name)) : root->findChild<T *>();
    if (!found)
        qFatal("no %s named %s", T::staticMetaObject.className(), name ? name : "");
    return found;
}

inline void callSlot(QObject *window, const char *slot)
{
    if (!QMetaObject::invokeMethod(window, slot, Qt::DirectConnection))
        qFatal("no slot %s", slot);
}

// Delivers a batch as the worker's signal would.
inline void deliverBatch(QObject *window, const QString &dirName, const QList<TFileInfo> &hits)
{
    if (!QMetaObject::invokeMethod(window, "do_GetResultFileInfo", Qt::DirectConnection,
                                   Q_ARG(QString, dirName), Q_ARG(QList<TFileInfo>, hits)))
        qFatal("no slot do_GetResultFileInfo");
}

inline void displayTick(QObject *window) { callSlot(window, "do_ShowResultFileInfo"); }
inline QTableView *resultTable(QObject *window) { return windowChild<QTableView>(window, "tableView_result"); }
inline int shownRows(QObject *window) { return resultTable(window)->model()->rowCount(); }
inline QString countText(QObject *window) { return windowChild<QLabel>(window, "countLabel")->text(); }
inline QString foundText(qsizetype count) { return QStringLiteral("找到目标数:%1").arg(count); }

inline QString cell(QObject *window, int row, int column)
{
    return resultTable(window)->model()->index(row, column).data().toString();
}

inline QList<TFileInfo> nameHits(const QString &prefix, int count)
{
    QList<TFileInfo> hits;
    for (int i = 0; i < count; ++i)
        hits.append(TFileInfo{prefix + QString::number(i), 0, QString()});
    return hits;
}

// A window whose state (extraction folder, hand-off file) lives in a temporary folder, with
// every message box and notice recorded, and the boxes answered by `answer` instead of shown.
// It remembers its form across windows only when asked to.
class WindowFixture
{
protected:
    void openWindow(bool remember = false)
    {
        boxes.clear();
        notices.clear();
        answer = QMessageBox::Cancel;
        MessageBoxes::setAnswerer([this](const MessageBoxes::Request &request) {
            boxes.append(request);
            return answer;
        });
        WindowEnvironment environment;
        environment.tempDir = state.path(QStringLiteral("tmp"));
        environment.showNowFile = state.path(QStringLiteral("shownow.cmd"));
        environment.driveListText = QStringLiteral("/;");
        environment.notify = [this](QWidget *, const QString &text) { notices.append(text); };
        environment.remembersState = remember;
        window = std::make_unique<MainWindow>(environment);
    }
    void closeWindow()
    {
        window.reset();
        MessageBoxes::setAnswerer(nullptr);
    }

    TempTree state;
    std::unique_ptr<MainWindow> window;
    QList<MessageBoxes::Request> boxes;
    QStringList notices;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
};
