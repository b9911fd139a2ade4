#pragma once

#include <QObject>

// True when `signal` of `sender` is connected to `method` of `receiver` (both given by
// signature, as SIGNAL() and SLOT() write them). The connection is left as it was.
inline bool isConnected(QObject *sender, const char *signal, QObject *receiver, const char *method)
{
    if (!QObject::disconnect(sender, signal, receiver, method))
        return false;
    QObject::connect(sender, signal, receiver, method);
    return true;
}
