#include "desktoplauncher.h"

#include "filereveal.h"
#include "localfileurl.h"

#include <QDesktopServices>

namespace {

class PlatformLauncher : public DesktopLauncher
{
public:
    void openFile(const QString &path) override { QDesktopServices::openUrl(localFileUrl(path)); }
    void revealFile(const QString &path) override { revealInFileManager(path); }
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
