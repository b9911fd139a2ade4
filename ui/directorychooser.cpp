#include "directorychooser.h"

#include <QFileDialog>

namespace DirectoryChooser {

namespace {
Chooser &currentChooser()
{
    static Chooser chooser;
    return chooser;
}
} // namespace

void setChooser(Chooser chooser)
{
    currentChooser() = std::move(chooser);
}

QString choose(QWidget *parent, const QString &caption, const QString &startDir)
{
    if (currentChooser())
        return currentChooser()(parent, caption, startDir);
    return QFileDialog::getExistingDirectory(parent, caption, startDir,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

} // namespace DirectoryChooser
