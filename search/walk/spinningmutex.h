#pragma once

#include <mutex>

// A mutex for short critical sections held by many threads: a thread that finds it taken tries
// again for a moment before it sleeps, since waking a sleeping thread costs more than the
// section it waited for.
class SpinningMutex
{
public:
    void lock()
    {
        for (int i = 0; i < spins; ++i) {
            if (mutex_.try_lock())
                return;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        mutex_.lock();
    }
    bool try_lock() { return mutex_.try_lock(); }
    void unlock() { mutex_.unlock(); }

private:
    static constexpr int spins = 200;
    std::mutex mutex_;
};
