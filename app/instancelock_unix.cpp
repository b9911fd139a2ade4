#include "instancelock.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
    return QString::number(::getuid());
}

QString InstanceLock::location() const
{
    // The runtime folder is private to the user, so no one else can take our lock file.
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QLatin1Char('/') + key_ + QLatin1String(".lock");
}

InstanceLock::Result InstanceLock::tryAcquire()
{
    if (isHeld())
        return Acquired;
    const QByteArray path = QFile::encodeName(location());
    // Close-on-exec: a program we start must not keep our lock alive after we end.
    int fd;
    do {
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Unavailable;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? HeldElsewhere : Unavailable;
    }
    // The content is for people looking at the file; the lock is the flock.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0 && ::write(fd, pid.constData(), size_t(pid.size())) < 0) {
        // Only informative; the lock holds all the same.
    }
    handle_ = fd;
    return Acquired;
}

void InstanceLock::release()
{
    if (!isHeld())
        return;
    // The file stays: removing it would race with a process that opened it and waits to lock.
    ::close(int(handle_));
    handle_ = invalidHandle;
}
