#include "explorerverbs.h"

#include "contextmenutext.h"

namespace {

// Backslashes whatever platform builds the text, so the logic is the same on every one.
QString quotedWindowsPath(const QString &path)
{
    QString native = path;
    native.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QLatin1Char('"') + native + QLatin1Char('"');
}

} // namespace

QList<ExplorerVerb> explorerVerbs(const QString &programPath)
{
    const QString program = quotedWindowsPath(programPath);
    const QString text = contextMenuText();
    return {
        {QStringLiteral("HKEY_CLASSES_ROOT\\Folder\\shell\\quorvel"), text,
         program + QLatin1String("  \"%1\"")},
        {QStringLiteral("HKEY_CLASSES_ROOT\\Directory\\Background\\shell\\quorvel"), text,
         program},
    };
}

void writeExplorerVerbs(RegistryStore &store, const QString &programPath)
{
    for (const ExplorerVerb &verb : explorerVerbs(programPath)) {
        const QString commandKey = verb.keyPath + QLatin1String("\\command");
        if (store.defaultValue(commandKey) != verb.command)
            store.setDefaultValue(commandKey, verb.command);
        if (store.defaultValue(verb.keyPath) != verb.displayText)
            store.setDefaultValue(verb.keyPath, verb.displayText);
    }
}
