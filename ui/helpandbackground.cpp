// The help box, and closing the window while a search runs.
#include "mainwindow.h"

#include "messageboxes.h"
#include "walk/searchthread.h"

#include <QCloseEvent>
#include <QSystemTrayIcon>

namespace {

// Where users send their suggestions: the project's own page.
const char projectContactAddress[] = "https://github.com/quorvel/quorvel";

} // namespace

void MainWindow::do_help()
{
    const QString text = tr("搜索文件 : 填写文件名\n") + tr("搜索内容 : 填写内容\n")
                         + tr("搜索指定文件的内容 : 填写文件名，填写内容\n")
                         + tr("深度搜索 : 只在搜索文件内容时有效，可以识别多种编码,搜索office 文件时建议选择该选项\n")
                         + QLatin1Char('\n') + tr("如有任何改进建议，请联系")
                         + QLatin1String(projectContactAddress);
    MessageBoxes::about(this, tr("帮助"), text);
}

// While a search runs, closing asks whether to go on in the background: Yes hides the window
// (the tray icon or a second start brings it back), No stops the search and closes, Cancel
// keeps everything as it was. Ending the program stops the worker and waits for it in the
// destructor, whichever way it ends.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!searchWorker->isRunning()) {
        event->accept();
        return;
    }
    const QMessageBox::StandardButton answer = MessageBoxes::question(
        this, tr("警告"), tr("正在执行搜索任务，是否转入后台运行？"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel);
    switch (answer) {
    case QMessageBox::Yes:
        // Without a notification area nothing would bring a hidden window back.
        if (QSystemTrayIcon::isSystemTrayAvailable())
            hide();
        else
            showMinimized();
        event->ignore();
        break;
    case QMessageBox::No:
        // Straight to the worker: the search may have ended while the question was open, and
        // the search button would then start a new one.
        searchWorker->stopSearch();
        event->accept();
        break;
    default:
        event->ignore();
        break;
    }
}
