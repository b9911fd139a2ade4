#pragma once

#include <QString>

#include <functional>

class QWidget;

// What the program around the window hands it: the window itself knows nothing of where the
// program keeps its state, of other starts of the program, or of the notification area.
struct WindowEnvironment
{
    // Where the archive search extracts entries; made when missing.
    QString tempDir;
    // The hand-off file: when a later start rewrites it, the window shows itself.
    QString showNowFile;
    // Every drive root followed by ";", offered first in the directory field.
    QString driveListText;
    // Makes the notification-area icon as a child of the window; may be empty.
    std::function<void(QWidget *window)> addTrayIcon;
    // The folder a later start handed over in the hand-off file, empty for none; may be empty.
    std::function<QString(const QString &handOffFile)> handOffFolder;
    // Tells the user something while the window is out of sight; may be empty.
    std::function<void(QWidget *window, const QString &text)> notify;
    // Whether the window keeps its histories, options and layout across starts.
    bool remembersState = false;
};
