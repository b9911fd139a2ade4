#include "mainwindow.h"

#include "completionguard.h"
#include "mainwindowform.h"
#include "resultmodel.h"
#include "walk/searchthread.h"

#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QMetaType>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

// The images are compiled into a static library; registering them by hand keeps the linker
// from dropping them. Once is enough.
static int registerImages()
{
    Q_INIT_RESOURCE(quorvel);
    return 0;
}

static void loadImages()
{
    static const int registered = registerImages();
    Q_UNUSED(registered)
}

// The history fields propose earlier texts in a list below the field and never fill one in:
// an inline completion would be searched by the button, and the first Return would only
// accept it.
static void proposeFromHistory(QComboBox *combo)
{
    QCompleter *completer = combo->completer();
    completer->setCaseSensitivity(Qt::CaseSensitive);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    CompletionGuard::install(completer);
}

MainWindow::MainWindow(const WindowEnvironment &environment, QWidget *parent)
    : QMainWindow(parent)
    , ui(new MainWindowForm)
    , environment(environment)
    , driveListText(environment.driveListText)
{
    loadImages();
    ui->setupForm(this);

    countLabel = new QLabel(this);
    countLabel->setObjectName(QStringLiteral("countLabel"));
    countLabel->setMinimumSize(countLabel->sizeHint());
    countLabel->setStyleSheet(QStringLiteral("background: transparent"));

    busyBar = new QProgressBar(this);
    busyBar->setObjectName(QStringLiteral("busyBar"));
    busyBar->setMinimumSize(busyBar->sizeHint());
    busyBar->setStyleSheet(QStringLiteral("background: transparent"));
    busyBar->hide();
    busyBar->setRange(0, 400);
    busyBar->setTextVisible(false);

    ui->statusBar->addWidget(busyBar);
    ui->statusBar->addWidget(countLabel);

    auto *dirCompleter = new QCompleter(this);
    dirCompleter->setObjectName(QStringLiteral("dirCompleter"));
    auto *fileSystem = new QFileSystemModel(dirCompleter);
    fileSystem->setRootPath(QString());
    dirCompleter->setModel(fileSystem);
    // Case-sensitive, like the histories: the combo box picks a listed item of other case
    // when its completer ignores case, and the search would then not be what was typed.
    dirCompleter->setCaseSensitivity(Qt::CaseSensitive);
    ui->comboBox_Dir->setCompleter(dirCompleter);
    CompletionGuard::install(dirCompleter);
    proposeFromHistory(ui->comboBoxForFind);
    proposeFromHistory(ui->comboBoxForGrep);

    if (environment.addTrayIcon)
        environment.addTrayIcon(this);
    setupResultTable(ui->tableView_result);

    const QString frame = QStringLiteral("background-image:url(':/img/frame-mid.png')");
    ui->centralWidget->setStyleSheet(frame);
    ui->statusBar->setStyleSheet(frame);
    const QString buttonStyle = QStringLiteral(
        "QToolButton:!hover{background: transparent;}"
        "QToolButton:hover{background-image: url(':/img/ico-hover-bg.png');border:0px;}");
    ui->toolButtonSearchST->setStyleSheet(buttonStyle);
    ui->toolButtonGetDir->setStyleSheet(buttonStyle);
    ui->toolButtonHelp->setStyleSheet(buttonStyle);

    connect(ui->toolButtonSearchST, &QToolButton::clicked, this, &MainWindow::do_search);
    connect(ui->toolButtonHelp, &QToolButton::clicked, this, &MainWindow::do_help);
    connect(ui->toolButtonGetDir, &QToolButton::clicked, this, &MainWindow::do_brower_targetdir);

    searchWorker = new searchThread(this);
    searchWorker->setObjectName(QStringLiteral("searchWorker"));
    QDir().mkpath(environment.tempDir);
    searchWorker->setTempDir(environment.tempDir);
    connect(searchWorker, &QThread::finished, this, &MainWindow::do_resume_searchFileIcon);
    connect(searchWorker, &searchThread::PushGotFiles, this, &MainWindow::do_GetResultFileInfo);

    QCoreApplication::setOrganizationName(tr("朔玳"));
    QCoreApplication::setApplicationName(tr("朔玳"));
    QCoreApplication::setApplicationVersion(tr("V1.2"));

    // Batches cross from the worker thread by this name.
    qRegisterMetaType<QList<TFileInfo>>("QList<TFileInfo>");

    showTimer = new QTimer(this);
    showTimer->setObjectName(QStringLiteral("showTimer"));
    connect(showTimer, &QTimer::timeout, this, &MainWindow::do_ShowResultFileInfo);
    showTimer->start(0);

    watchShowNowFile(environment.showNowFile);

    findPresetCount = ui->comboBoxForFind->count();
    if (environment.remembersState)
        restoreRemembered();
}

MainWindow::~MainWindow()
{
    // Whatever ends the program, the worker must be gone before the window's children are.
    searchWorker->stopSearch();
    searchWorker->wait();
    if (environment.remembersState)
        saveRemembered();
    delete ui;
}

ResultModel *MainWindow::buildResultModel()
{
    auto *model = new ResultModel(this);
    const QString headers[] = {tr("文件名"), tr("目录"), tr("行号"), tr("内容"), tr("修改时间")};
    for (int section = 0; section < 5; ++section)
        model->setHeaderData(section, Qt::Horizontal, headers[section], Qt::EditRole);
    return model;
}

void MainWindow::setupResultTable(QTableView *table)
{
    resultModel = buildResultModel();
    table->setModel(resultModel);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    auto *openFile = new QAction(tr("打开文件"), table);
    auto *openDir = new QAction(tr("浏览文件所在目录"), table);
    auto *separator1 = new QAction(table);
    separator1->setSeparator(true);
    auto *copyFiles = new QAction(tr("复制选中文件"), table);
    auto *cutFiles = new QAction(tr("剪切选中文件"), table);
    auto *separator2 = new QAction(table);
    separator2->setSeparator(true);
    auto *copyList = new QAction(tr("复制选中列表信息"), table);
    auto *stopShow = new QAction(tr("停止显示"), table);

    connect(copyList, &QAction::triggered, this, &MainWindow::do_copyPathName_Clipboard);
    connect(openFile, &QAction::triggered, this, &MainWindow::do_openFileDefault);
    connect(openDir, &QAction::triggered, this, &MainWindow::do_openExplorerDir);
    connect(stopShow, &QAction::triggered, this, &MainWindow::do_stopShowTab);
    connect(table, &QTableView::doubleClicked, this, &MainWindow::do_openFileDefault);
    connect(copyFiles, &QAction::triggered, this, &MainWindow::do_copyfiles);
    connect(cutFiles, &QAction::triggered, this, &MainWindow::do_cutfiles);

    table->addActions({openFile, openDir, separator1, copyFiles, cutFiles, separator2, copyList,
                       stopShow});
    table->setContextMenuPolicy(Qt::ActionsContextMenu);

    table->setColumnWidth(0, 80);
    table->setColumnWidth(1, 250);
    table->setColumnWidth(2, 50);
}

void MainWindow::setInitialDir(const QString &dirText)
{
    QComboBox *combo = ui->comboBox_Dir;
    combo->addItem(driveListText);
    combo->setCurrentIndex(combo->count() - 1);
    browseStartDir = dirText;
    if (!dirText.isEmpty()) {
        combo->addItem(dirText);
        combo->setCurrentIndex(combo->count() - 1);
    }
}

// A later start asks for the window, perhaps with a folder to search: it is taken as a first
// start with that folder would take it, and the window comes to the front.
void MainWindow::do_show()
{
    if (environment.handOffFolder) {
        const QString folder = environment.handOffFolder(shownowPath);
        // One write may be reported more than once; the folder is taken once.
        if (!folder.isEmpty() && folder != ui->comboBox_Dir->currentText())
            setInitialDir(folder);
    }
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

// The hand-off file is watched by path. When it is replaced rather than rewritten, or
// removed and made again, the watch on the old file ends; watching the folder as well
// lets the new file be picked up.
void MainWindow::watchShowNowFile(const QString &path)
{
    if (path.isEmpty())
        return;
    shownowPath = path;
    if (QFileInfo::exists(shownowPath))
        shownowWatcher.addPath(shownowPath);
    shownowWatcher.addPath(QFileInfo(shownowPath).absolutePath());
    connect(&shownowWatcher, &QFileSystemWatcher::fileChanged, this, [this] {
        do_show();
        rewatchShowNowFile();
    });
    connect(&shownowWatcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (rewatchShowNowFile())
            do_show();
    });
}

// Watches the hand-off file again if it exists but is no longer watched; true if it did.
bool MainWindow::rewatchShowNowFile()
{
    if (shownowWatcher.files().contains(shownowPath) || !QFileInfo::exists(shownowPath))
        return false;
    return shownowWatcher.addPath(shownowPath);
}
