#include "mainwindowform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// Tool tips are rich text, as a form designer writes them.
QString richTip(const QString &text)
{
    return QLatin1String("<html><head/><body><p>") + text + QLatin1String("</p></body></html>");
}

QString boldRichTip(const QString &text)
{
    return richTip(QLatin1String("<span style=\" font-weight:600;\">") + text
                   + QLatin1String("</span>"));
}

QLabel *makeLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setStyleSheet(QStringLiteral("background: transparent"));
    return label;
}

QComboBox *makeCombo(QWidget *parent, const char *name)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(0);
    policy.setHeightForWidth(combo->sizePolicy().hasHeightForWidth());
    combo->setSizePolicy(policy);
    combo->setMinimumSize(QSize(0, 28));
    combo->setEditable(true);
    return combo;
}

QToolButton *makeToolButton(QWidget *parent, const char *name, const QIcon &icon)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setStyleSheet(QString());
    button->setIcon(icon);
    button->setIconSize(QSize(35, 28));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    return button;
}

QCheckBox *makeCheckBox(QWidget *parent, const char *name)
{
    auto *box = new QCheckBox(parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

void MainWindowForm::setupForm(QMainWindow *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(972, 606);
    window->setContextMenuPolicy(Qt::NoContextMenu);
    QIcon icon;
    icon.addFile(QStringLiteral(":/img/smartsearch.png"), QSize(), QIcon::Normal, QIcon::Off);
    window->setWindowIcon(icon);

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    gridLayout_3 = new QGridLayout(centralWidget);
    gridLayout_3->setObjectName(QStringLiteral("gridLayout_3"));
    gridLayout_3->setSpacing(6);
    gridLayout_3->setContentsMargins(2, 1, 1, 1);

    widgetMid = new QWidget(centralWidget);
    widgetMid->setObjectName(QStringLiteral("widgetMid"));
    widgetMid->setMouseTracking(true);
    gridLayout = new QGridLayout(widgetMid);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(6);
    gridLayout->setContentsMargins(11, 11, 11, 11);

    // The search bar: two rows of labels, fields and buttons.
    gridLayout_5 = new QGridLayout();
    gridLayout_5->setObjectName(QStringLiteral("gridLayout_5"));
    gridLayout_5->setHorizontalSpacing(6);
    gridLayout_5->setVerticalSpacing(0);
    gridLayout_5->setContentsMargins(5, 0, -1, 0);   // -1: the style's default

    label = makeLabel(widgetMid, "label");
    gridLayout_5->addWidget(label, 0, 0, 1, 1);
    comboBoxForFind = makeCombo(widgetMid, "comboBoxForFind");
    // The search adds the texts to the history itself; Qt's own insertion on Return would
    // add them a second time.
    comboBoxForFind->setInsertPolicy(QComboBox::NoInsert);
    gridLayout_5->addWidget(comboBoxForFind, 0, 1, 1, 1);
    label_3 = makeLabel(widgetMid, "label_3");
    gridLayout_5->addWidget(label_3, 0, 2, 1, 1);
    comboBoxForGrep = makeCombo(widgetMid, "comboBoxForGrep");
    comboBoxForGrep->setInsertPolicy(QComboBox::NoInsert);
    gridLayout_5->addWidget(comboBoxForGrep, 0, 3, 1, 1);
    toolButtonSearchST = makeToolButton(widgetMid, "toolButtonSearchST", icon);
    gridLayout_5->addWidget(toolButtonSearchST, 0, 4, 1, 1);
    toolButtonHelp = makeToolButton(widgetMid, "toolButtonHelp",
                                    QIcon(QStringLiteral(":/img/help.png")));
    gridLayout_5->addWidget(toolButtonHelp, 0, 5, 1, 1);
    label_2 = makeLabel(widgetMid, "label_2");
    gridLayout_5->addWidget(label_2, 1, 0, 1, 1);
    comboBox_Dir = makeCombo(widgetMid, "comboBox_Dir");
    gridLayout_5->addWidget(comboBox_Dir, 1, 1, 1, 3);
    toolButtonGetDir = makeToolButton(widgetMid, "toolButtonGetDir",
                                      QIcon(QStringLiteral(":/img/folder.png")));
    gridLayout_5->addWidget(toolButtonGetDir, 1, 4, 1, 1);
    gridLayout->addLayout(gridLayout_5, 0, 0, 1, 1);

    // The options beside the search bar.
    groupBox = new QGroupBox(widgetMid);
    groupBox->setObjectName(QStringLiteral("groupBox"));
    groupBox->setSizePolicy(QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum));
    gridLayout_2 = new QGridLayout(groupBox);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    gridLayout_2->setSpacing(6);
    gridLayout_2->setContentsMargins(11, 11, 11, 11);
    checkBox_searchExact = makeCheckBox(groupBox, "checkBox_searchExact");
    gridLayout_2->addWidget(checkBox_searchExact, 0, 0, 1, 1);
    checkBox_recursive = makeCheckBox(groupBox, "checkBox_recursive");
    checkBox_recursive->setChecked(true);
    gridLayout_2->addWidget(checkBox_recursive, 0, 1, 1, 1);
    checkBox_Ignore = makeCheckBox(groupBox, "checkBox_Ignore");
    gridLayout_2->addWidget(checkBox_Ignore, 1, 0, 1, 1);
    checkBox_deepSearch = makeCheckBox(groupBox, "checkBox_deepSearch");
    gridLayout_2->addWidget(checkBox_deepSearch, 1, 1, 1, 1);
    gridLayout->addWidget(groupBox, 0, 1, 1, 1);

    // The results across the whole width.
    tableView_result = new QTableView(widgetMid);
    tableView_result->setObjectName(QStringLiteral("tableView_result"));
    tableView_result->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableView_result->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView_result->setShowGrid(false);
    // Rows stay in arrival order, and no sort arrow shows, until the user sorts.
    tableView_result->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tableView_result->setSortingEnabled(true);
    tableView_result->verticalHeader()->setVisible(true);
    gridLayout->addWidget(tableView_result, 1, 0, 1, 2);

    gridLayout_3->addWidget(widgetMid, 0, 0, 1, 1);
    window->setCentralWidget(centralWidget);

    statusBar = new QStatusBar(window);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    window->setStatusBar(statusBar);

    retranslateForm(window);
}

void MainWindowForm::retranslateForm(QMainWindow *window)
{
    window->setWindowTitle(tr("朔玳1.2"));
    toolButtonHelp->setToolTip(richTip(tr("帮助")));
    toolButtonHelp->setText(tr("帮助"));
    label->setText(tr("文件名"));
    toolButtonGetDir->setToolTip(richTip(tr("选择搜索目录")));
    toolButtonGetDir->setText(tr("目录"));
    label_3->setText(tr("内容"));
    comboBoxForGrep->setToolTip(boldRichTip(tr("文件内容")));
    comboBox_Dir->clear();
    comboBox_Dir->addItem(QString());
    comboBox_Dir->setToolTip(richTip(tr("目标目录")));
    toolButtonSearchST->setToolTip(richTip(tr("开始搜索")));
    toolButtonSearchST->setText(tr("搜索"));
    comboBoxForFind->clear();
    comboBoxForFind->insertItems(0, QStringList{
        tr("*"),
        tr(" *.doc;*.docx;*.wps"),
        tr(" *.mp3;*.mp4;*.wma;*.wav;*.amr"),
        tr(" *.ram;*.asf;*.asx;*.rmi;*.mp1;*.mp2"),
        tr(" *.wax;*.cmf;*.cda;*.mid;*.vqf"),
        tr(" *.rmvb;*.avi;*.navi;*.mpeg;*.mpg;*.rm;*.wmv;*.rm"),
        tr(" *.QT;*.ASF;*.cda;*.midi;*.mov"),
        tr(" *.BMP;*.JPG;*.JPEG;*.PNG;*.GIF"),
        tr(" *.txt;*.chm;"),
        tr(" *.ppt;*.pptx"),
        tr(" *.xls"),
        tr(" *.swf"),
        tr(" *.pdf"),
    });
    comboBoxForFind->setToolTip(boldRichTip(tr("文件名")));
    label_2->setText(tr("目录名"));
    groupBox->setTitle(tr("选项"));
    checkBox_searchExact->setToolTip(richTip(tr("精确匹配文件名")));
    checkBox_searchExact->setText(tr("精确匹配文件名"));
    checkBox_recursive->setToolTip(richTip(tr("是否搜索子目录")));
    checkBox_recursive->setText(tr("搜索子目录"));
    checkBox_Ignore->setToolTip(richTip(tr("搜索文件内容时忽略大小写")));
    checkBox_Ignore->setText(tr("忽略大小写"));
    checkBox_deepSearch->setToolTip(richTip(tr("尝试多种文字编码，深度搜索")));
    checkBox_deepSearch->setText(tr("深度搜索"));
}
