#include "contextmenutext.h"

#include <QCoreApplication>

QString contextMenuText()
{
    return QCoreApplication::translate("ContextMenu", "深度搜索...");
}
