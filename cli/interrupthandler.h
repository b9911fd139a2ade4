#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT into a Qt signal in the main thread (through a pipe, the only thing a
// signal handler may safely touch).
class InterruptHandler : public QObject
{
    Q_OBJECT
public:
    explicit InterruptHandler(QObject *parent = nullptr);
    ~InterruptHandler() override;

    bool interrupted() const { return interrupted_; }

signals:
    void interruptRequested();

private:
    void readPipe();

    QSocketNotifier *notifier_ = nullptr;
    bool interrupted_ = false;
};
