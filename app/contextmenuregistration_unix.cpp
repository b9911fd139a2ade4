// Free desktops: the desktop entry and the file managers' own actions, in the user's data folder.
#include "contextmenuregistration.h"

#include "filemanagerentries.h"

#include <QStandardPaths>

void registerContextMenu(const QString &programPath)
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || programPath.isEmpty())
        return;
    writeFileManagerEntries(dataHome, programPath);
}
