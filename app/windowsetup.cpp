#include "windowsetup.h"

#include "shownowfile.h"
#include "startuptexts.h"
#include "statefolder.h"
#include "trayicon.h"

#include <QWidget>

WindowEnvironment programWindowEnvironment()
{
    WindowEnvironment environment;
    environment.tempDir = stateFolder() + QLatin1String("/tmp");
    environment.showNowFile = showNowFilePath();
    environment.driveListText = driveListText();
    environment.addTrayIcon = [](QWidget *window) {
        auto *tray = new trayicon(window, window);
        tray->setVisible(true);
    };
    environment.handOffFolder = showNowFolder;
    environment.notify = [](QWidget *window, const QString &text) {
        if (auto *tray = window->findChild<trayicon *>())
            tray->showMessage(window->windowTitle(), text);
    };
    environment.remembersState = true;
    return environment;
}
