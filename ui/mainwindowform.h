#pragma once

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QMainWindow;
class QStatusBar;
class QTableView;
class QToolButton;
class QWidget;

// The widgets of the main window. The record owns none of them: each belongs to its parent
// in the widget tree.
class MainWindowForm
{
public:
    QWidget *centralWidget = nullptr;
    QGridLayout *gridLayout_3 = nullptr;
    QWidget *widgetMid = nullptr;
    QGridLayout *gridLayout = nullptr;
    QGridLayout *gridLayout_5 = nullptr;
    QToolButton *toolButtonHelp = nullptr;
    QLabel *label = nullptr;
    QToolButton *toolButtonGetDir = nullptr;
    QLabel *label_3 = nullptr;
    QComboBox *comboBoxForGrep = nullptr;
    QComboBox *comboBox_Dir = nullptr;
    QToolButton *toolButtonSearchST = nullptr;
    QComboBox *comboBoxForFind = nullptr;
    QLabel *label_2 = nullptr;
    QGroupBox *groupBox = nullptr;
    QGridLayout *gridLayout_2 = nullptr;
    QCheckBox *checkBox_searchExact = nullptr;
    QCheckBox *checkBox_recursive = nullptr;
    QCheckBox *checkBox_Ignore = nullptr;
    QCheckBox *checkBox_deepSearch = nullptr;
    QTableView *tableView_result = nullptr;
    QStatusBar *statusBar = nullptr;

    // Builds the widget tree on `window`, then sets the texts.
    void setupForm(QMainWindow *window);
    void retranslateForm(QMainWindow *window);
};
