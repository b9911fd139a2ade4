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
};
