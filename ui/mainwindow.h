#pragma once

#include "displaypacing.h"
#include "walk/fileinfo.h"
#include "windowenvironment.h"

#include <QFileSystemWatcher>
#include <QList>
#include <QMainWindow>
#include <QPair>
#include <QString>
#include <QStringList>

class MainWindowForm;
class QLabel;
class QProgressBar;
class QTableView;
class QTimer;
class ResultModel;
class searchThread;

// The program's window: the search form, the options, the result table and a status bar
// with the hit count and a busy indicator.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(const WindowEnvironment &environment, QWidget *parent = nullptr);
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
    ResultModel *buildResultModel();
    void setupResultTable(QTableView *table);
    void watchShowNowFile(const QString &path);
    bool rewatchShowNowFile();
    bool searchRunning() const;
    void resetResults();
    void setSearchButtonRunning(bool running);
    void showCount();
    void reportCannotOpen(const QString &path);   // in the status bar   // "找到目标数:" and the hits received
    bool showBatch(const QString &dirName, const QList<TFileInfo> &hits);
    void insertBuiltRows(bool evenIfNotDue);
    void wakeDisplay();
    void paceDisplay();
    void restoreRemembered();
    void saveRemembered() const;
    void rememberSearchedDirectory(const QString &dirText);
    QString chooserStartDir() const;

    MainWindowForm *ui;
    searchThread *searchWorker = nullptr;
    WindowEnvironment environment;
    QString driveListText;               // offered first in the directory field
    QString browseStartDir = QStringLiteral(".");
    bool stopShowing = false;
    ResultModel *resultModel = nullptr;
    QList<QPair<QString, QList<TFileInfo>>> pendingBatches;
    int totalFound = 0;
    bool rowsAdded = true;
    QLabel *countLabel = nullptr;
    QProgressBar *busyBar = nullptr;
    int busyStep = 0;
    QFileSystemWatcher shownowWatcher;
    QString shownowPath;   // where the watcher looks for the hand-off file
    QTimer *showTimer = nullptr;         // the display timer; idle while there is nothing to show
    bool displayTickRunning = false;     // the display tick never runs nested
    bool stopSummaryShown = false;       // the "停止显示" summary stays until a batch is shown
    bool searchFinishPending = false;    // started, and its finish not yet handled
    DisplayPacing displayPacing;         // how often a long table is updated
    int findPresetCount = 0;             // the file-name list's presets, before any history
    QStringList searchedDirs;            // directory texts searched, oldest first, remembered
};
