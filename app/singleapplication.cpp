#include "singleapplication.h"

#include "instancelock.h"

#include <QCryptographicHash>
#include <QFileInfo>

SingleApplication::SingleApplication(int &argc, char **argv, bool guiEnabled)
    : QApplication(argc, argv)
{
    Q_UNUSED(guiEnabled)
    lock_ = std::make_unique<InstanceLock>(instanceKey(applicationFilePath()));
    // A lock that cannot be made at all must not keep the user from the program.
    running_ = lock_->tryAcquire() == InstanceLock::HeldElsewhere;
}

SingleApplication::~SingleApplication() = default;

void SingleApplication::setActivationWindow(QWidget *window, bool activateOnMessage)
{
    window_ = window;
    activateOnMessage_ = activateOnMessage;
}

QString SingleApplication::instanceKey(const QString &executablePath)
{
    const QFileInfo exe(executablePath);
    const QString canonical = exe.canonicalFilePath();
    const QString path = canonical.isEmpty() ? exe.absoluteFilePath() : canonical;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(path.toUtf8());
    hash.addData(QByteArrayView("\n", 1));
    hash.addData(InstanceLock::userKey().toUtf8());
    return QLatin1String("quorvel-") + QString::fromLatin1(hash.result().toHex().left(24));
}
