#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal in the main thread (through a pipe, the
// only thing a signal handler may safely touch). Each arrival is reported again, so that a
// second Ctrl-C can end what the first could not.
class InterruptHandler : public QObject
{
    Q_OBJECT
public:
    explicit InterruptHandler(QObject *parent = nullptr);
    ~InterruptHandler() override;

    bool interrupted() const { return signalNumber_ != 0; }
    // The first signal that arrived (0 when none).
    int signalNumber() const { return signalNumber_; }
    int arrivals() const { return arrivals_; }

signals:
    void interruptRequested();

private:
    void readPipe();

    QSocketNotifier *notifier_ = nullptr;
    int signalNumber_ = 0;
    int arrivals_ = 0;
};
