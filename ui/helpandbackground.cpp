// The help box, and closing the window while a search runs.
#include "mainwindow.h"

#include <QCloseEvent>

void MainWindow::do_help()
{
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
}
