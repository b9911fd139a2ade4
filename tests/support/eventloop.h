#pragma once

#include <QCoreApplication>
#include <QTimer>

#include <functional>

// Runs the application's event loop with `first` as its first event until something ends it,
// or ends it with 99 after `ms`. Returns exec()'s result.
inline int runEventLoop(int ms, const std::function<void()> &first = {})
{
    if (first)
        QTimer::singleShot(0, qApp, first);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    limit.start(ms);
    return QCoreApplication::exec();
}
