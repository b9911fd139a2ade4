#pragma once

#include <QByteArray>
#include <QTemporaryFile>

// Collects what is written to standard output (file descriptor 1) while it lives.
class StdoutCapture
{
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture &) = delete;
    StdoutCapture &operator=(const StdoutCapture &) = delete;

    // Puts standard output back and returns what was written meanwhile.
    QByteArray finish();

private:
    QTemporaryFile file_;
    int saved_ = -1;
};
