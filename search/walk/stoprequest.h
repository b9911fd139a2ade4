#pragma once

#include <QThread>

// True when the thread running the search has been asked to stop. Every long loop of
// the engine (walk, line scan, archive entries, extraction) tests this.
inline bool searchStopRequested()
{
    return QThread::currentThread()->isInterruptionRequested();
}
