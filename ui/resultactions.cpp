// What the user does with the selected hits: open, reveal, copy or cut, describe.
#include "mainwindow.h"

#include "clipboardfiles.h"
#include "desktoplauncher.h"
#include "filedropblocks.h"
#include "localfileurl.h"
#include "mainwindowform.h"
#include "messageboxes.h"
#include "resultrows.h"
#include "rowdescription.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QStatusBar>
#include <QGuiApplication>
#include <QSet>
#include <QTableView>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <new>

namespace {

// Opening and revealing ask before more than 3 rows, copying and cutting before more than 29.
constexpr int openWithoutAsking = 3;
constexpr int copyWithoutAsking = 29;
// Long enough to read a path.
constexpr int cannotOpenMessageMs = 10000;

// True when the action may go on: at most `threshold` rows, or the user said Yes.
bool confirmRowCount(QWidget *window, int rows, int threshold, const QString &message)
{
    if (rows <= threshold)
        return true;
    return MessageBoxes::question(window, MainWindow::tr("警告"), message.arg(rows),
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

// The existing target of every row, in row order, repeats included.
QStringList existingTargets(const QList<ResultRow> &rows)
{
    QStringList targets;
    for (const ResultRow &row : rows) {
        const QString target = targetPath(row);
        if (QFileInfo::exists(target))
            targets.append(target);
    }
    return targets;
}

// The targets by folder, folders in the order they first appear, each file once: the file
// manager shows one folder's files in one window.
QList<QStringList> targetsByFolder(const QStringList &targets)
{
    QList<QStringList> groups;
    QHash<QString, qsizetype> groupOfFolder;
    for (const QString &target : targets) {
        const QString folder = QFileInfo(localFileUrl(target).toLocalFile()).absolutePath();
        auto known = groupOfFolder.constFind(folder);
        if (known == groupOfFolder.constEnd()) {
            groupOfFolder.insert(folder, groups.size());
            groups.append(QStringList{target});
        } else if (!groups[*known].contains(target)) {
            groups[*known].append(target);
        }
    }
    return groups;
}

void putFilesOnClipboard(QWidget *window, const QAbstractItemView *table, bool copy)
{
    const QList<ResultRow> rows = selectedResultRows(table);
    if (!confirmRowCount(window, rows.size(), copyWithoutAsking,
                         MainWindow::tr("执行%1个复制操作，是否继续？")))
        return;
    // Each file once, in row order; a set keeps this linear for large selections.
    QStringList files;
    QSet<QString> seen;   // case-sensitive, like the paths themselves
    for (const QString &target : existingTargets(rows)) {
        if (!seen.contains(target)) {
            seen.insert(target);
            files.append(target);
        }
    }
    QByteArray szFiles;
    try {
        szFiles = packFileList(files);
    } catch (const std::bad_alloc &) {
        errno = ENOMEM;
        std::perror("szFiles alloc");
        return;
    }
    if (szFiles.size() > INT_MAX / 2 - 28) {   // the drop block would not fit in an int
        errno = ENOMEM;
        std::perror("szFiles alloc");
        return;
    }
    setClipboardFiles(szFiles.constData(), int(szFiles.size()), copy);
}

} // namespace

void MainWindow::do_copyPathName_Clipboard()
{
    QGuiApplication::clipboard()->setText(describeRows(selectedResultRows(ui->tableView_result)),
                                          QClipboard::Clipboard);
}

void MainWindow::do_openFileDefault()
{
    const QList<ResultRow> rows = selectedResultRows(ui->tableView_result);
    if (!confirmRowCount(this, rows.size(), openWithoutAsking, tr("执行%1个打开操作，是否继续？")))
        return;
    for (const QString &target : existingTargets(rows)) {
        if (!DesktopLauncher::current().openFile(target))
            reportCannotOpen(target);
    }
}

void MainWindow::reportCannotOpen(const QString &path)
{
    statusBar()->showMessage(tr("无法打开: %1").arg(QDir::toNativeSeparators(path)), cannotOpenMessageMs);
}

void MainWindow::do_openExplorerDir()
{
    const QList<ResultRow> rows = selectedResultRows(ui->tableView_result);
    if (!confirmRowCount(this, rows.size(), openWithoutAsking, tr("执行%1个打开操作，是否继续？")))
        return;
    const QPointer<MainWindow> self(this);
    for (const QStringList &files : targetsByFolder(existingTargets(rows))) {
        const QString first = files.first();
        DesktopLauncher::current().revealFiles(files, [self, first] {
            if (self)
                self->reportCannotOpen(first);
        });
    }
}

void MainWindow::do_copyfiles()
{
    putFilesOnClipboard(this, ui->tableView_result, true);
}

void MainWindow::do_cutfiles()
{
    putFilesOnClipboard(this, ui->tableView_result, false);
}
