#pragma once

#include <QString>

// The text of the program's entries in the file managers' context menus: "深度搜索...".
QString contextMenuText();
