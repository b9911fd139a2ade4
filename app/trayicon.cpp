#include "trayicon.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QMenu>
#include <QWidget>

trayicon::trayicon(QWidget *window, QObject *parent)
    : QSystemTrayIcon(parent)
    , mainWindow(window)
{
    setIcon(QIcon(QStringLiteral(":/img/smartsearch.png")));
    createActions();
    createTrayMenu();
    // exit(), not quit(): in Qt 6 quit() first asks every window to close, and a window that
    // refuses (one asking about a running search) would cancel it. This entry ends at once.
    connect(quitAction, &QAction::triggered, QCoreApplication::instance(),
            [] { QCoreApplication::exit(0); });
    connect(openAction, &QAction::triggered, mainWindow, &QWidget::showNormal);
    connect(this, &QSystemTrayIcon::activated, this, &trayicon::iconIsActived);
}

trayicon::~trayicon()
{
    // Detach the menu before it goes, so the platform's tray never points at a dead menu.
    setContextMenu(nullptr);
}

void trayicon::createActions()
{
    trayMenu = std::make_unique<QMenu>();
    openAction = new QAction(QIcon(QStringLiteral(":/img/protect_on.png")), tr("打开"), this);
    quitAction = new QAction(QIcon(QStringLiteral(":/img/protect_off.png")), tr("退出"), this);
}

void trayicon::createTrayMenu()
{
    trayMenu->addAction(openAction);
    trayMenu->addSeparator();
    trayMenu->addAction(quitAction);
    setContextMenu(trayMenu.get());
    setToolTip(tr("朔玳"));
}

void trayicon::iconIsActived(QSystemTrayIcon::ActivationReason reason)
{
    // StatusNotifierItem trays report every click as a single one. Trays that report double
    // clicks report the pair's first click as a single one too: it has toggled already.
    if (reason == QSystemTrayIcon::Trigger) {
        sinceClick.start();
    } else if (reason != QSystemTrayIcon::DoubleClick
               || (sinceClick.isValid() && sinceClick.elapsed() <= QApplication::doubleClickInterval())) {
        return;
    }
    if (mainWindow->isHidden())
        mainWindow->showNormal();
    else
        mainWindow->setVisible(false);
}
