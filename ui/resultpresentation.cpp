// Batches of hits from the worker, queued and turned into table rows by the display timer.
#include "mainwindow.h"

void MainWindow::do_GetResultFileInfo(QString dirName, QList<TFileInfo> namelist)
{
    Q_UNUSED(dirName)
    Q_UNUSED(namelist)
}

void MainWindow::do_ShowResultFileInfo()
{
}

void MainWindow::do_stopShowTab()
{
}
