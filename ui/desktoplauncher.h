#pragma once

#include <QStringList>

#include <functional>

class QString;

// How the result actions hand files to the desktop. The platform's launcher is used unless
// another one is installed (tests install one that records the calls).
class DesktopLauncher
{
public:
    virtual ~DesktopLauncher() = default;

    // Opens `path` with the application the desktop has for it; false when nothing could
    // be asked to.
    virtual bool openFile(const QString &path) = 0;
    // Shows `paths`, all in one folder, selected in one file-manager window. `failed` runs,
    // perhaps later, when neither the file manager nor the folder could be opened.
    virtual void revealFiles(const QStringList &paths, const std::function<void()> &failed) = 0;

    static DesktopLauncher &current();
    // Not owned; nullptr brings back the platform's launcher.
    static void install(DesktopLauncher *launcher);
};
