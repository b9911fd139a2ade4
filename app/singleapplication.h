#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <QString>

#include <memory>

class InstanceLock;

// The application object of a program that runs once per user and executable: the first
// process started from a given path holds a lock for the program's life; a later one sees
// it held and ends. The hand-off to the running instance goes through a file (see
// shownowfile.h), so no messages travel between the processes.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    // The flag says the program has a window; this class always makes a GUI application.
    SingleApplication(int &argc, char **argv, bool guiEnabled = true);
    ~SingleApplication() override;

    // True when another process of this program and user was already running at start.
    bool isRunning() const { return running_; }

    // The window that stands for the running instance.
    void setActivationWindow(QWidget *window, bool activateOnMessage = true);
    QWidget *activationWindow() const { return window_; }
    bool activatesOnMessage() const { return activateOnMessage_; }

    // The key of the program at `executablePath` for the current user.
    static QString instanceKey(const QString &executablePath);

private:
    std::unique_ptr<InstanceLock> lock_;
    bool running_ = false;
    QPointer<QWidget> window_;
    bool activateOnMessage_ = false;
};
