#pragma once

#include <QElapsedTimer>
#include <QSystemTrayIcon>

#include <memory>

class QAction;
class QMenu;
class QWidget;

// The program's icon in the notification area: a click or a double click shows or hides the
// main window, its menu opens the window or ends the program.
class trayicon : public QSystemTrayIcon
{
    Q_OBJECT

public:
    trayicon(QWidget *mainWindow, QObject *parent = nullptr);
    ~trayicon() override;

private slots:
    void iconIsActived(QSystemTrayIcon::ActivationReason reason);

private:
    void createActions();
    void createTrayMenu();

    // A menu has no parent in the tray; it is ours to delete.
    std::unique_ptr<QMenu> trayMenu;
    QAction *openAction = nullptr;
    QAction *quitAction = nullptr;
    QWidget *mainWindow = nullptr;
    QElapsedTimer sinceClick;   // since the last single click, which toggled already
};
