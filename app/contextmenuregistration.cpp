#include "contextmenuregistration.h"

#include <QCoreApplication>

void registerContextMenu()
{
    registerContextMenu(QCoreApplication::applicationFilePath());
}
