#include "contextmenuregistration.h"
#include "mainwindow.h"
#include "shownowfile.h"
#include "singleapplication.h"
#include "startuptexts.h"

#include <QDir>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    SingleApplication app(argc, argv, true);
    const QString driveText = driveListText();

    // Relative paths of the program (an empty root in the directory text above all) name the
    // program's directory; a relative argument still means the directory we were started in.
    const QString startDir = QDir::currentPath();
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    // Every start announces itself, the first one included; the running instance shows
    // its window when the file changes.
    writeShowNowFile();
    if (app.isRunning())
        return 0;

    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    MainWindow window;
    window.setInitialDir(initialDirText(QCoreApplication::arguments(), startDir, driveText));
    app.setActivationWindow(&window, true);
    registerContextMenu();
    window.show();
    return app.exec();
}
