#include "contextmenuregistration.h"

#include <QCoreApplication>

void registerContextMenu()
{
    registerContextMenu(QCoreApplication::applicationFilePath());
}

QString contextMenuText()
{
    return QCoreApplication::translate("ContextMenu", "深度搜索...");
}
