#pragma once

class QString;

// How the result actions hand files to the desktop. The platform's launcher is used unless
// another one is installed (tests install one that records the calls).
class DesktopLauncher
{
public:
    virtual ~DesktopLauncher() = default;

    // Opens `path` with the application the desktop has for it.
    virtual void openFile(const QString &path) = 0;
    // Shows `path` selected in the file manager.
    virtual void revealFile(const QString &path) = 0;

    static DesktopLauncher &current();
    // Not owned; nullptr brings back the platform's launcher.
    static void install(DesktopLauncher *launcher);
};
