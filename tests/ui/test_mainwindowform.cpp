#include "connectioncheck.h"
#include "mainwindow.h"
#include "walk/searchthread.h"
#include "statefolder.h"
#include "trayicon.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "temptree.h"

#include <memory>

namespace {

template<typename T>
T *child(QObject *root, const char *name)
{
    T *found = root->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

struct Cell
{
    int row, column, rowSpan, columnSpan;
    bool operator==(const Cell &o) const
    {
        return row == o.row && column == o.column && rowSpan == o.rowSpan && columnSpan == o.columnSpan;
    }
};

Cell cellOf(QGridLayout *layout, QLayoutItem *wanted)
{
    for (int i = 0; i < layout->count(); ++i) {
        if (layout->itemAt(i) == wanted) {
            Cell c{};
            layout->getItemPosition(i, &c.row, &c.column, &c.rowSpan, &c.columnSpan);
            return c;
        }
    }
    return Cell{-1, -1, -1, -1};
}

Cell cellOf(QGridLayout *layout, QWidget *widget)
{
    const int index = layout->indexOf(widget);
    if (index < 0)
        return Cell{-1, -1, -1, -1};
    Cell c{};
    layout->getItemPosition(index, &c.row, &c.column, &c.rowSpan, &c.columnSpan);
    return c;
}

QString rich(const QString &text)
{
    return QStringLiteral("<html><head/><body><p>") + text + QStringLiteral("</p></body></html>");
}

QString boldRich(const QString &text)
{
    return rich(QStringLiteral("<span style=\" font-weight:600;\">") + text + QStringLiteral("</span>"));
}

} // namespace

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void init() { window = std::make_unique<MainWindow>(); }
    void cleanup() { window.reset(); }

    void widgetTreeHasTheNamedObjectsAndParents();
    void widgetsSitInTheirGridCells();
    void layoutMetrics();
    void windowFrame();
    void textsAndToolTips();
    void fileNamePresetsInOrder();
    void initialStates();
    void toolButtonsAndCombos();
    void resultTable();
    void contextMenuOnTheTableOnly();
    void statusBarHoldsBusyBarThenCount();
    void styleSheets();
    void connections();
    void workerTimerWatcherAndNames();
    void directoryCompletionIgnoresCase();
    void imagesAreEmbedded_data();
    void imagesAreEmbedded();
    void setInitialDirOffersDrivesAndTheText();

private:
    std::unique_ptr<MainWindow> window;
};

void TestMainWindowForm::widgetTreeHasTheNamedObjectsAndParents()
{
    QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window->metaObject()->className(), "MainWindow");

    auto *central = child<QWidget>(window.get(), "centralWidget");
    QCOMPARE(window->centralWidget(), central);
    auto *mid = child<QWidget>(window.get(), "widgetMid");
    QCOMPARE(mid->parentWidget(), central);
    auto *group = child<QGroupBox>(window.get(), "groupBox");
    QCOMPARE(group->parentWidget(), mid);

    const char *inMid[] = {"label", "label_2", "label_3", "comboBoxForFind", "comboBoxForGrep",
                           "comboBox_Dir", "toolButtonSearchST", "toolButtonHelp",
                           "toolButtonGetDir", "tableView_result"};
    for (const char *name : inMid)
        QCOMPARE(child<QWidget>(window.get(), name)->parentWidget(), mid);
    const char *inGroup[] = {"checkBox_searchExact", "checkBox_recursive", "checkBox_Ignore",
                             "checkBox_deepSearch"};
    for (const char *name : inGroup)
        QCOMPARE(child<QCheckBox>(window.get(), name)->parentWidget(), group);

    QCOMPARE(child<QGridLayout>(window.get(), "gridLayout_3"), central->layout());
    QCOMPARE(child<QGridLayout>(window.get(), "gridLayout"), mid->layout());
    QCOMPARE(child<QGridLayout>(window.get(), "gridLayout_2"), group->layout());
    auto *bar = child<QStatusBar>(window.get(), "statusBar");
    QCOMPARE(window->statusBar(), bar);
    QVERIFY(child<QLabel>(window.get(), "label"));
    QVERIFY(child<QTableView>(window.get(), "tableView_result"));
}

void TestMainWindowForm::widgetsSitInTheirGridCells()
{
    auto *grid3 = child<QGridLayout>(window.get(), "gridLayout_3");
    auto *grid = child<QGridLayout>(window.get(), "gridLayout");
    auto *grid2 = child<QGridLayout>(window.get(), "gridLayout_2");
    auto *grid5 = child<QGridLayout>(window.get(), "gridLayout_5");
    QVERIFY(grid5->parent() == grid);
    QCOMPARE(cellOf(grid, grid5), (Cell{0, 0, 1, 1}));
    QCOMPARE(cellOf(grid3, child<QWidget>(window.get(), "widgetMid")), (Cell{0, 0, 1, 1}));

    const struct { const char *name; Cell cell; } bar[] = {
        {"label", {0, 0, 1, 1}},           {"comboBoxForFind", {0, 1, 1, 1}},
        {"label_3", {0, 2, 1, 1}},         {"comboBoxForGrep", {0, 3, 1, 1}},
        {"toolButtonSearchST", {0, 4, 1, 1}}, {"toolButtonHelp", {0, 5, 1, 1}},
        {"label_2", {1, 0, 1, 1}},         {"comboBox_Dir", {1, 1, 1, 3}},
        {"toolButtonGetDir", {1, 4, 1, 1}},
    };
    for (const auto &b : bar)
        QVERIFY2(cellOf(grid5, child<QWidget>(window.get(), b.name)) == b.cell, b.name);
    QCOMPARE(grid5->count(), 9);

    QCOMPARE(cellOf(grid, child<QWidget>(window.get(), "groupBox")), (Cell{0, 1, 1, 1}));
    QCOMPARE(cellOf(grid, child<QWidget>(window.get(), "tableView_result")), (Cell{1, 0, 1, 2}));
    QCOMPARE(cellOf(grid2, child<QWidget>(window.get(), "checkBox_searchExact")), (Cell{0, 0, 1, 1}));
    QCOMPARE(cellOf(grid2, child<QWidget>(window.get(), "checkBox_recursive")), (Cell{0, 1, 1, 1}));
    QCOMPARE(cellOf(grid2, child<QWidget>(window.get(), "checkBox_Ignore")), (Cell{1, 0, 1, 1}));
    QCOMPARE(cellOf(grid2, child<QWidget>(window.get(), "checkBox_deepSearch")), (Cell{1, 1, 1, 1}));
}

void TestMainWindowForm::layoutMetrics()
{
    auto *grid3 = child<QGridLayout>(window.get(), "gridLayout_3");
    QCOMPARE(grid3->spacing(), 6);
    QCOMPARE(grid3->contentsMargins(), QMargins(2, 1, 1, 1));
    for (const char *name : {"gridLayout", "gridLayout_2"}) {
        auto *grid = child<QGridLayout>(window.get(), name);
        QCOMPARE(grid->spacing(), 6);
        QCOMPARE(grid->contentsMargins(), QMargins(11, 11, 11, 11));
    }
    auto *grid5 = child<QGridLayout>(window.get(), "gridLayout_5");
    QCOMPARE(grid5->horizontalSpacing(), 6);
    QCOMPARE(grid5->verticalSpacing(), 0);
    const QMargins m = grid5->contentsMargins();
    QCOMPARE(m.left(), 5);
    QCOMPARE(m.top(), 0);
    QCOMPARE(m.bottom(), 0);
    QVERIFY(child<QWidget>(window.get(), "widgetMid")->hasMouseTracking());
}

void TestMainWindowForm::windowFrame()
{
    QCOMPARE(window->size(), QSize(972, 606));
    QCOMPARE(window->windowTitle(), QStringLiteral("朔玳1.2"));
    QCOMPARE(window->contextMenuPolicy(), Qt::NoContextMenu);
    QVERIFY(!window->windowIcon().isNull());
    QVERIFY(!window->isVisible());   // the constructor does not show the window
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("朔玳"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("朔玳"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("V1.2"));
}

void TestMainWindowForm::textsAndToolTips()
{
    auto *help = child<QToolButton>(window.get(), "toolButtonHelp");
    QCOMPARE(help->text(), QStringLiteral("帮助"));
    QCOMPARE(help->toolTip(), rich(QStringLiteral("帮助")));
    auto *getDir = child<QToolButton>(window.get(), "toolButtonGetDir");
    QCOMPARE(getDir->text(), QStringLiteral("目录"));
    QCOMPARE(getDir->toolTip(), rich(QStringLiteral("选择搜索目录")));
    auto *search = child<QToolButton>(window.get(), "toolButtonSearchST");
    QCOMPARE(search->text(), QStringLiteral("搜索"));
    QCOMPARE(search->toolTip(), rich(QStringLiteral("开始搜索")));

    QCOMPARE(child<QLabel>(window.get(), "label")->text(), QStringLiteral("文件名"));
    QCOMPARE(child<QLabel>(window.get(), "label_3")->text(), QStringLiteral("内容"));
    QCOMPARE(child<QLabel>(window.get(), "label_2")->text(), QStringLiteral("目录名"));

    QCOMPARE(child<QComboBox>(window.get(), "comboBoxForGrep")->toolTip(), boldRich(QStringLiteral("文件内容")));
    QCOMPARE(child<QComboBox>(window.get(), "comboBoxForFind")->toolTip(), boldRich(QStringLiteral("文件名")));
    QCOMPARE(child<QComboBox>(window.get(), "comboBox_Dir")->toolTip(), rich(QStringLiteral("目标目录")));
    QCOMPARE(child<QGroupBox>(window.get(), "groupBox")->title(), QStringLiteral("选项"));

    const struct { const char *name; const char *tip; const char *text; } boxes[] = {
        {"checkBox_searchExact", "精确匹配文件名", "精确匹配文件名"},
        {"checkBox_recursive", "是否搜索子目录", "搜索子目录"},
        {"checkBox_Ignore", "搜索文件内容时忽略大小写", "忽略大小写"},
        {"checkBox_deepSearch", "尝试多种文字编码，深度搜索", "深度搜索"},
    };
    for (const auto &b : boxes) {
        auto *box = child<QCheckBox>(window.get(), b.name);
        QCOMPARE(box->text(), QString::fromUtf8(b.text));
        QCOMPARE(box->toolTip(), rich(QString::fromUtf8(b.tip)));
    }
}

void TestMainWindowForm::fileNamePresetsInOrder()
{
    auto *find = child<QComboBox>(window.get(), "comboBoxForFind");
    const QStringList expected{
        QStringLiteral("*"),
        QStringLiteral(" *.doc;*.docx;*.wps"),
        QStringLiteral(" *.mp3;*.mp4;*.wma;*.wav;*.amr"),
        QStringLiteral(" *.ram;*.asf;*.asx;*.rmi;*.mp1;*.mp2"),
        QStringLiteral(" *.wax;*.cmf;*.cda;*.mid;*.vqf"),
        QStringLiteral(" *.rmvb;*.avi;*.navi;*.mpeg;*.mpg;*.rm;*.wmv;*.rm"),
        QStringLiteral(" *.QT;*.ASF;*.cda;*.midi;*.mov"),
        QStringLiteral(" *.BMP;*.JPG;*.JPEG;*.PNG;*.GIF"),
        QStringLiteral(" *.txt;*.chm;"),
        QStringLiteral(" *.ppt;*.pptx"),
        QStringLiteral(" *.xls"),
        QStringLiteral(" *.swf"),
        QStringLiteral(" *.pdf"),
    };
    QStringList items;
    for (int i = 0; i < find->count(); ++i)
        items << find->itemText(i);
    QCOMPARE(items, expected);
    QCOMPARE(find->currentIndex(), 0);
    QCOMPARE(find->currentText(), QStringLiteral("*"));
}

void TestMainWindowForm::initialStates()
{
    auto *grep = child<QComboBox>(window.get(), "comboBoxForGrep");
    QCOMPARE(grep->count(), 0);
    QCOMPARE(grep->currentText(), QString());
    auto *dir = child<QComboBox>(window.get(), "comboBox_Dir");
    QCOMPARE(dir->count(), 1);
    QCOMPARE(dir->itemText(0), QString());
    QCOMPARE(dir->currentIndex(), 0);

    QVERIFY(!child<QCheckBox>(window.get(), "checkBox_searchExact")->isChecked());
    QVERIFY(child<QCheckBox>(window.get(), "checkBox_recursive")->isChecked());
    QVERIFY(!child<QCheckBox>(window.get(), "checkBox_Ignore")->isChecked());
    QVERIFY(!child<QCheckBox>(window.get(), "checkBox_deepSearch")->isChecked());

    auto *table = child<QTableView>(window.get(), "tableView_result");
    QAbstractItemModel *model = table->model();
    QVERIFY(model);
    QCOMPARE(model->parent(), window.get());
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->columnCount(), 5);
    const QStringList headers{QStringLiteral("文件名"), QStringLiteral("目录"), QStringLiteral("行号"),
                              QStringLiteral("内容"), QStringLiteral("修改时间")};
    for (int s = 0; s < 5; ++s)
        QCOMPARE(model->headerData(s, Qt::Horizontal).toString(), headers.at(s));

    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *busy = child<QProgressBar>(window.get(), "busyBar");
    QVERIFY(busy->isHidden());
    QCOMPARE(busy->minimum(), 0);
    QCOMPARE(busy->maximum(), 400);
    QVERIFY(!busy->isTextVisible());
}

void TestMainWindowForm::toolButtonsAndCombos()
{
    for (const char *name : {"toolButtonHelp", "toolButtonGetDir", "toolButtonSearchST"}) {
        auto *button = child<QToolButton>(window.get(), name);
        QCOMPARE(button->iconSize(), QSize(35, 28));
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QVERIFY(button->autoRaise());
        QVERIFY(!button->icon().isNull());
    }
    // The search button shows the window's own icon.
    QCOMPARE(child<QToolButton>(window.get(), "toolButtonSearchST")->icon().cacheKey(),
             window->windowIcon().cacheKey());

    for (const char *name : {"comboBoxForFind", "comboBoxForGrep", "comboBox_Dir"}) {
        auto *combo = child<QComboBox>(window.get(), name);
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->minimumSize(), QSize(0, 28));
        QCOMPARE(combo->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(combo->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(combo->sizePolicy().horizontalStretch(), 0);
        QCOMPARE(combo->sizePolicy().verticalStretch(), 0);
    }
    for (const char *name : {"label", "label_2", "label_3"})
        QCOMPARE(child<QLabel>(window.get(), name)->styleSheet(), QStringLiteral("background: transparent"));
    auto *group = child<QGroupBox>(window.get(), "groupBox");
    QCOMPARE(group->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(group->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
}

void TestMainWindowForm::resultTable()
{
    auto *table = child<QTableView>(window.get(), "tableView_result");
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(!table->showGrid());
    QVERIFY(table->isSortingEnabled());
    QVERIFY(!table->verticalHeader()->isHidden());
    QCOMPARE(table->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    QCOMPARE(table->columnWidth(0), 80);
    QCOMPARE(table->columnWidth(1), 250);
    QCOMPARE(table->columnWidth(2), 50);
}

void TestMainWindowForm::contextMenuOnTheTableOnly()
{
    auto *table = child<QTableView>(window.get(), "tableView_result");
    QCOMPARE(table->contextMenuPolicy(), Qt::ActionsContextMenu);
    const QList<QAction *> actions = table->actions();
    const QStringList expected{QStringLiteral("打开文件"), QStringLiteral("浏览文件所在目录"), QString(),
                               QStringLiteral("复制选中文件"), QStringLiteral("剪切选中文件"), QString(),
                               QStringLiteral("复制选中列表信息"), QStringLiteral("停止显示")};
    QCOMPARE(actions.size(), expected.size());
    for (int i = 0; i < actions.size(); ++i) {
        QCOMPARE(actions.at(i)->isSeparator(), expected.at(i).isEmpty());
        QCOMPARE(actions.at(i)->text(), expected.at(i));
        QVERIFY(actions.at(i)->icon().isNull());
        QCOMPARE(actions.at(i)->parent(), table);
    }
    // No other widget of the window pops up actions; the window itself shows no menu.
    QCOMPARE(window->contextMenuPolicy(), Qt::NoContextMenu);
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (w == table)
            continue;
        QVERIFY2(w->contextMenuPolicy() != Qt::ActionsContextMenu || w->actions().isEmpty(),
                 qPrintable(w->objectName()));
    }
    for (const char *name : {"label", "label_2", "label_3", "groupBox", "widgetMid", "centralWidget"})
        QCOMPARE(child<QWidget>(window.get(), name)->actions().size(), 0);

    QVERIFY(isConnected(table, SIGNAL(doubleClicked(QModelIndex)), window.get(), SLOT(do_openFileDefault())));
    const struct { int index; const char *slot; } wired[] = {
        {0, SLOT(do_openFileDefault())},    {1, SLOT(do_openExplorerDir())},
        {3, SLOT(do_copyfiles())},          {4, SLOT(do_cutfiles())},
        {6, SLOT(do_copyPathName_Clipboard())}, {7, SLOT(do_stopShowTab())},
    };
    for (const auto &w : wired)
        QVERIFY2(isConnected(actions.at(w.index), SIGNAL(triggered()), window.get(), w.slot), w.slot);
}

void TestMainWindowForm::statusBarHoldsBusyBarThenCount()
{
    auto *bar = child<QStatusBar>(window.get(), "statusBar");
    auto *busy = child<QProgressBar>(window.get(), "busyBar");
    auto *count = child<QLabel>(window.get(), "countLabel");
    QCOMPARE(busy->parentWidget(), bar);
    QCOMPARE(count->parentWidget(), bar);
    QCOMPARE(count->styleSheet(), QStringLiteral("background: transparent"));
    QCOMPARE(busy->styleSheet(), QStringLiteral("background: transparent"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    busy->show();
    QTRY_VERIFY(busy->geometry().x() < count->geometry().x());
}

void TestMainWindowForm::styleSheets()
{
    const QString frame = QStringLiteral("background-image:url(':/img/frame-mid.png')");
    QCOMPARE(child<QWidget>(window.get(), "centralWidget")->styleSheet(), frame);
    QCOMPARE(child<QWidget>(window.get(), "statusBar")->styleSheet(), frame);
    const QString button = QStringLiteral(
        "QToolButton:!hover{background: transparent;}"
        "QToolButton:hover{background-image: url(':/img/ico-hover-bg.png');border:0px;}");
    for (const char *name : {"toolButtonHelp", "toolButtonGetDir", "toolButtonSearchST"})
        QCOMPARE(child<QToolButton>(window.get(), name)->styleSheet(), button);
}

void TestMainWindowForm::connections()
{
    QObject *w = window.get();
    QVERIFY(isConnected(child<QToolButton>(w, "toolButtonSearchST"), SIGNAL(clicked()), w, SLOT(do_search())));
    QVERIFY(isConnected(child<QToolButton>(w, "toolButtonHelp"), SIGNAL(clicked()), w, SLOT(do_help())));
    QVERIFY(isConnected(child<QToolButton>(w, "toolButtonGetDir"), SIGNAL(clicked()), w,
                        SLOT(do_brower_targetdir())));
    auto *worker = w->findChild<searchThread *>();
    QVERIFY(worker);
    QVERIFY(isConnected(worker, SIGNAL(finished()), w, SLOT(do_resume_searchFileIcon())));
    QVERIFY(isConnected(worker, SIGNAL(PushGotFiles(QString,QList<TFileInfo>)), w,
                        SLOT(do_GetResultFileInfo(QString,QList<TFileInfo>))));
    QVERIFY(isConnected(child<QTimer>(w, "showTimer"), SIGNAL(timeout()), w, SLOT(do_ShowResultFileInfo())));
}

void TestMainWindowForm::workerTimerWatcherAndNames()
{
    const QMetaObject *mo = window->metaObject();
    const char *slotNames[] = {"do_show()", "do_search()", "do_brower_targetdir()",
                           "do_resume_searchFileIcon()",
                           "do_GetResultFileInfo(QString,QList<TFileInfo>)",
                           "do_ShowResultFileInfo()", "do_copyPathName_Clipboard()",
                           "do_openFileDefault()", "do_openExplorerDir()", "do_stopShowTab()",
                           "do_copyfiles()", "do_cutfiles()", "do_help()"};
    int previous = -1;
    for (const char *slot : slotNames) {
        const int index = mo->indexOfSlot(slot);
        QVERIFY2(index > previous, slot);   // declared, and in this order
        QCOMPARE(mo->method(index).access(), QMetaMethod::Private);
        previous = index;
    }

    auto *worker = window->findChild<searchThread *>();
    QCOMPARE(worker->parent(), window.get());
    QVERIFY(!worker->isRunning());
    const QString tmp = stateFolder() + QStringLiteral("/tmp");
    QCOMPARE(worker->searchOptions().tempDir, tmp);
    QVERIFY(QFileInfo(tmp).isDir());

    auto *timer = child<QTimer>(window.get(), "showTimer");
    QCOMPARE(timer->parent(), window.get());
    QCOMPARE(timer->interval(), 0);
    QVERIFY(timer->isActive());
    QVERIFY(!timer->isSingleShot());

    QVERIFY(QMetaType::fromName("QList<TFileInfo>").isValid());
    QCOMPARE(QMetaType::fromName("QList<TFileInfo>"), QMetaType::fromType<QList<TFileInfo>>());

    auto *tray = window->findChild<trayicon *>();
    QVERIFY(tray);
    QCOMPARE(tray->parent(), window.get());
    QVERIFY(tray->isVisible());
}

void TestMainWindowForm::directoryCompletionIgnoresCase()
{
    TempTree tree;
    tree.dir(QStringLiteral("Alpha"));
    tree.dir(QStringLiteral("beta"));
    auto *completer = child<QCompleter>(window.get(), "dirCompleter");
    auto *dir = child<QComboBox>(window.get(), "comboBox_Dir");
    QCOMPARE(dir->completer(), completer);
    QCOMPARE(completer->parent(), window.get());
    QCOMPARE(completer->caseSensitivity(), Qt::CaseInsensitive);
    auto *model = qobject_cast<QFileSystemModel *>(completer->model());
    QVERIFY(model);
    QCOMPARE(model->parent(), completer);
    QCOMPARE(model->rootPath(), QString());

    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    // Type the folder's path into the field key by key, as a user does; the file system
    // model reads each folder in the background as the typed path reaches it.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QLineEdit *edit = dir->lineEdit();
    edit->setFocus();
    edit->clear();
    const QString typed = tree.root() + QStringLiteral("/AL");
    for (const QChar c : typed) {
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::qWait(c == QLatin1Char('/') ? 200 : 10);
    }
    QCOMPARE(edit->text().left(typed.size()), typed);
    const auto proposesAlpha = [&] {
        completer->setCompletionPrefix(typed);
        return completer->completionCount() == 1
               && completer->currentCompletion() == tree.root() + QStringLiteral("/Alpha");
    };
    QTRY_VERIFY_WITH_TIMEOUT(proposesAlpha(), 10000);
}

void TestMainWindowForm::imagesAreEmbedded_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"smartsearch", "help", "folder", "stop", "frame-mid", "ico-hover-bg",
                             "protect_on", "protect_off"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestMainWindowForm::imagesAreEmbedded()
{
    QFETCH(QString, name);
    const QImage image(QStringLiteral(":/img/") + name + QStringLiteral(".png"));
    QVERIFY(!image.isNull());
    QVERIFY(image.width() >= 8 && image.height() >= 8);
}

void TestMainWindowForm::setInitialDirOffersDrivesAndTheText()
{
    QString drives;
    for (const QFileInfo &d : QDir::drives())
        drives += d.absoluteFilePath() + QLatin1Char(';');
    auto *dir = child<QComboBox>(window.get(), "comboBox_Dir");

    window->setInitialDir(drives);
    QCOMPARE(dir->count(), 3);
    QCOMPARE(dir->itemText(0), QString());
    QCOMPARE(dir->itemText(1), drives);
    QCOMPARE(dir->itemText(2), drives);
    QCOMPARE(dir->currentIndex(), 2);
    QCOMPARE(dir->currentText(), drives);

    MainWindow other;
    auto *otherDir = child<QComboBox>(&other, "comboBox_Dir");
    other.setInitialDir(QStringLiteral("/srv/data"));
    QCOMPARE(otherDir->count(), 3);
    QCOMPARE(otherDir->itemText(1), drives);
    QCOMPARE(otherDir->currentText(), QStringLiteral("/srv/data"));

    MainWindow empty;
    auto *emptyDir = child<QComboBox>(&empty, "comboBox_Dir");
    empty.setInitialDir(QString());
    QCOMPARE(emptyDir->count(), 2);
    QCOMPARE(emptyDir->currentText(), drives);
}

QTEST_MAIN(TestMainWindowForm)
#include "test_mainwindowform.moc"
