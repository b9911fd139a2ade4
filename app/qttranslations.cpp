#include "qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool installQtTranslations(QCoreApplication &app, const QLocale &locale)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto *translator = new QTranslator(&app);
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)
        || translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        return QCoreApplication::installTranslator(translator);
    }
    delete translator;
    return false;
}
