#pragma once

#include <QThread>

#include <atomic>
#include <functional>

// Runs `job` on a thread that has been asked to stop, and returns when it is done. The
// atomic flag makes the hand-back visible to the thread sanitizer, which cannot see through
// Qt's own wait.
inline void runOnStoppedThread(const std::function<void()> &job)
{
    class StoppedThread : public QThread
    {
    public:
        explicit StoppedThread(const std::function<void()> &j) : job(j) {}
        void run() override
        {
            requestInterruption();
            job();
            done.store(true, std::memory_order_release);
        }
        const std::function<void()> &job;
        std::atomic<bool> done{false};
    } thread(job);
    thread.start();
    thread.wait();
    while (!thread.done.load(std::memory_order_acquire))
        QThread::yieldCurrentThread();
}
