#include "instancelock.h"

#include <windows.h>

InstanceLock::InstanceLock(const QString &key)
    : key_(key)
{
}

InstanceLock::~InstanceLock()
{
    release();
}

QString InstanceLock::userKey()
{
    return qEnvironmentVariable("USERDOMAIN") + QLatin1Char('\\') + qEnvironmentVariable("USERNAME");
}

QString InstanceLock::location() const
{
    // A named mutex of the user's session; Windows drops it when its last holder ends.
    return QLatin1String("Local\\") + key_;
}

InstanceLock::Result InstanceLock::tryAcquire()
{
    if (isHeld())
        return Acquired;
    const std::wstring name = location().toStdWString();
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex)
        return ::GetLastError() == ERROR_ACCESS_DENIED ? HeldElsewhere : Unavailable;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return HeldElsewhere;
    }
    handle_ = reinterpret_cast<long long>(mutex);
    return Acquired;
}

void InstanceLock::release()
{
    if (!isHeld())
        return;
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = invalidHandle;
}
