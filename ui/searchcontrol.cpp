// Starting and stopping a search, the keys of the window, the directory chooser.
#include "mainwindow.h"

#include <QKeyEvent>

void MainWindow::do_search()
{
}

void MainWindow::do_brower_targetdir()
{
}

void MainWindow::do_resume_searchFileIcon()
{
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // The window handles its own keys; none go on to the base class.
    Q_UNUSED(event)
}
