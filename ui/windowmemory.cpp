// What the window keeps across starts: the histories of the file-name and content fields as
// the searches built them, the directories searched, the four options, the window's place
// and size and the widths of the result columns. A first start shows the form as built.
#include "mainwindow.h"

#include "mainwindowform.h"
#include "resultmodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QSettings>
#include <QTableView>

namespace {

constexpr int rememberedItems = 50;   // of each list, the latest

// The per-user configuration: ~/.config/quorvel/quorvel.conf, the registry on Windows.
QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("quorvel"),
                     QStringLiteral("quorvel"));
}

QStringList latest(const QStringList &items)
{
    return items.mid(qMax(qsizetype(0), items.size() - rememberedItems));
}

QStringList itemsFrom(const QComboBox *combo, int first)
{
    QStringList items;
    for (int i = first; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return latest(items);
}

struct RememberedOption
{
    const char *key;
    QCheckBox *MainWindowForm::*box;
};

const RememberedOption rememberedOptions[] = {
    {"options/exactName", &MainWindowForm::checkBox_searchExact},
    {"options/recursive", &MainWindowForm::checkBox_recursive},
    {"options/ignoreCase", &MainWindowForm::checkBox_Ignore},
    {"options/deepSearch", &MainWindowForm::checkBox_deepSearch},
};

} // namespace

void MainWindow::restoreRemembered()
{
    QSettings memory = settings();
    ui->comboBoxForFind->addItems(latest(memory.value(QStringLiteral("history/names")).toStringList()));
    QComboBox *grep = ui->comboBoxForGrep;
    grep->addItems(latest(memory.value(QStringLiteral("history/texts")).toStringList()));
    grep->setCurrentIndex(-1);   // the field starts empty, as on a first start
    searchedDirs = latest(memory.value(QStringLiteral("history/directories")).toStringList());
    ui->comboBox_Dir->addItems(searchedDirs);
    for (const RememberedOption &option : rememberedOptions) {
        const QVariant checked = memory.value(QLatin1String(option.key));
        if (checked.isValid())
            (ui->*option.box)->setChecked(checked.toBool());
    }
    restoreGeometry(memory.value(QStringLiteral("window/geometry")).toByteArray());
    const QStringList widths = memory.value(QStringLiteral("window/columnWidths")).toStringList();
    for (int column = 0; column < widths.size() && column < ResultModel::ColumnCount; ++column) {
        const int width = widths.at(column).toInt();
        if (width > 0) {
            ui->tableView_result->setColumnWidth(column, width);
            rowsAdded = false;   // the first display tick keeps them
        }
    }
}

void MainWindow::saveRemembered() const
{
    QSettings memory = settings();
    memory.setValue(QStringLiteral("history/names"), itemsFrom(ui->comboBoxForFind, findPresetCount));
    memory.setValue(QStringLiteral("history/texts"), itemsFrom(ui->comboBoxForGrep, 0));
    memory.setValue(QStringLiteral("history/directories"), searchedDirs);
    for (const RememberedOption &option : rememberedOptions)
        memory.setValue(QLatin1String(option.key), (ui->*option.box)->isChecked());
    memory.setValue(QStringLiteral("window/geometry"), saveGeometry());
    QStringList widths;   // 0 for a hidden column: not remembered
    for (int column = 0; column < ResultModel::ColumnCount; ++column)
        widths.append(QString::number(ui->tableView_result->isColumnHidden(column)
                                          ? 0 : ui->tableView_result->columnWidth(column)));
    memory.setValue(QStringLiteral("window/columnWidths"), widths);
}

// The latest searches' directory texts, each once.
void MainWindow::rememberSearchedDirectory(const QString &dirText)
{
    if (dirText.trimmed().isEmpty())
        return;
    searchedDirs.removeAll(dirText);
    searchedDirs.append(dirText);
    searchedDirs = latest(searchedDirs);
}
