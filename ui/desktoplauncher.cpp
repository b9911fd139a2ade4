#include "desktoplauncher.h"

#include "filereveal.h"
#include "localfileurl.h"

#include <QDesktopServices>

namespace {

class PlatformLauncher : public DesktopLauncher
{
public:
    bool openFile(const QString &path) override { return QDesktopServices::openUrl(localFileUrl(path)); }
    void revealFiles(const QStringList &paths, const std::function<void()> &failed) override
    {
        revealInFileManager(paths, failed);
    }
};

DesktopLauncher *installed = nullptr;

} // namespace

DesktopLauncher &DesktopLauncher::current()
{
    static PlatformLauncher platform;
    return installed ? *installed : platform;
}

void DesktopLauncher::install(DesktopLauncher *launcher)
{
    installed = launcher;
}
