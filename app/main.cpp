#include "contextmenuregistration.h"
#include "mainwindow.h"
#include "qttranslations.h"
#include "shownowfile.h"
#include "singleapplication.h"
#include "startuptexts.h"
#include "windowsetup.h"

#include <QDir>
#include <QStyleFactory>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // Answered before anything starts: no display needed, no hand-off file, no window.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("quorvel %s\n", QUORVEL_VERSION);
        return 0;
    }
    SingleApplication app(argc, argv, true);
    const QString driveText = driveListText();

    // Relative paths of the program (an empty root in the directory text above all) name the
    // program's directory; a relative argument still means the directory we were started in.
    const QString startDir = QDir::currentPath();
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    // Every start announces itself, the first one included; the running instance shows
    // its window when the file changes, and takes the folder this start was asked for.
    const QString directory = directoryArgument(QCoreApplication::arguments(), startDir);
    writeShowNowFile(directory);
    if (app.isRunning())
        return 0;

    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    installQtTranslations(app);

    MainWindow window(programWindowEnvironment());
    window.setInitialDir(directory.isEmpty() ? driveText : directory);
    app.setActivationWindow(&window, true);
    registerContextMenu();
    window.show();
    return app.exec();
}
