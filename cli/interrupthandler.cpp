#include "interrupthandler.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int pipeFds[2] = {-1, -1};
constexpr int handledSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int signalNumber)
{
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
}
} // namespace

InterruptHandler::InterruptHandler(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &InterruptHandler::readPipe);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : handledSignals)
        sigaction(signalNumber, &action, nullptr);
}

InterruptHandler::~InterruptHandler()
{
    for (const int signalNumber : handledSignals)
        signal(signalNumber, SIG_DFL);
    if (pipeFds[0] >= 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        pipeFds[0] = pipeFds[1] = -1;
    }
}

void InterruptHandler::readPipe()
{
    char buffer[16];
    ssize_t n;
    bool arrived = false;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        if (!signalNumber_)
            signalNumber_ = buffer[0];
        arrivals_ += int(n);
        arrived = true;
    }
    if (arrived)
        emit interruptRequested();
}
