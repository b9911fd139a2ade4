#pragma once

#include <QString>

// A lock that at most one process of the user holds at a time, named by a key. The
// operating system releases it when the holder ends in any way, crashes included, so a
// lock left behind by a dead process never blocks a new one.
class InstanceLock
{
public:
    enum Result {
        Acquired,        // this process holds the lock now
        HeldElsewhere,   // another living process holds it
        Unavailable      // the lock could not be made at all
    };

    explicit InstanceLock(const QString &key);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    Result tryAcquire();
    bool isHeld() const { return handle_ != invalidHandle; }
    void release();

    // A text that names the current user, for building keys.
    static QString userKey();
    // Where the lock lives (a file on Unix, an object name on Windows).
    QString location() const;

private:
    static constexpr long long invalidHandle = -1;
    QString key_;
    long long handle_ = invalidHandle;
};
