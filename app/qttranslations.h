#pragma once

#include <QLocale>

class QCoreApplication;

// Installs Qt's own translations (the standard buttons, the file dialogs) for `locale`, or
// the Chinese ones where Qt has none for it: the window speaks Chinese, its dialogs should
// not speak English. True when a translation was installed.
bool installQtTranslations(QCoreApplication &app, const QLocale &locale = QLocale::system());
