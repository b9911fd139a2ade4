#pragma once

#include <QThread>

#include <atomic>

namespace stoprequest {
// Set on the worker threads of a parallel search: the flag the search raises to stop them.
inline thread_local const std::atomic<bool> *sharedFlag = nullptr;
}

// True when the thread running the search has been asked to stop. Every long loop of
// the engine (walk, line scan, archive entries, extraction) tests this.
inline bool searchStopRequested()
{
    if (const std::atomic<bool> *flag = stoprequest::sharedFlag)
        return flag->load(std::memory_order_relaxed);
    return QThread::currentThread()->isInterruptionRequested();
}
