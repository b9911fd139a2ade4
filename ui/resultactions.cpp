// What the user does with the selected hits: open, reveal, copy or cut, describe.
#include "mainwindow.h"

void MainWindow::do_copyPathName_Clipboard()
{
}

void MainWindow::do_openFileDefault()
{
}

void MainWindow::do_openExplorerDir()
{
}

void MainWindow::do_copyfiles()
{
}

void MainWindow::do_cutfiles()
{
}
