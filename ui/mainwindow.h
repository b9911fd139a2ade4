#pragma once

#include "fileinfo.h"

#include <QFileSystemWatcher>
#include <QList>
#include <QMainWindow>
#include <QPair>
#include <QString>

class MainWindowForm;
class QLabel;
class QProgressBar;
class QStandardItemModel;
class QTableView;
class searchThread;

// The program's window: the search form, the options, the result table and a status bar
// with the hit count and a busy indicator.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Offers the drive list and `dirText` in the directory field and shows `dirText`.
    void setInitialDir(const QString &dirText);

private slots:
    void do_show();
    void do_search();
    void do_brower_targetdir();
    void do_resume_searchFileIcon();
    void do_GetResultFileInfo(QString dirName, QList<TFileInfo> namelist);
    void do_ShowResultFileInfo();
    void do_copyPathName_Clipboard();
    void do_openFileDefault();
    void do_openExplorerDir();
    void do_stopShowTab();
    void do_copyfiles();
    void do_cutfiles();
    void do_help();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QStandardItemModel *buildResultModel();
    void setupResultTable(QTableView *table);
    void createTrayIcon();
    void watchShowNowFile();
    bool rewatchShowNowFile();

    MainWindowForm *ui;
    searchThread *searchWorker = nullptr;
    QString browseStartDir;
    bool stopShowing = false;
    QStandardItemModel *resultModel = nullptr;
    QList<QPair<QString, QList<TFileInfo>>> pendingBatches;
    int totalFound = 0;
    bool rowsAdded = true;
    QLabel *countLabel = nullptr;
    QProgressBar *busyBar = nullptr;
    int busyStep = 0;
    QFileSystemWatcher shownowWatcher;
    QString shownowPath;   // where the watcher looks for the hand-off file
};
