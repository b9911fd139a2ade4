#pragma once

#include <QList>
#include <QString>

// The registry as the Explorer verbs need it: the unnamed (default) string value of a key,
// the key named by its full path ("HKEY_CLASSES_ROOT\\Folder\\shell\\quorvel").
class RegistryStore
{
public:
    virtual ~RegistryStore() = default;
    // Empty when the key or its value is missing.
    virtual QString defaultValue(const QString &keyPath) = 0;
    virtual void setDefaultValue(const QString &keyPath, const QString &value) = 0;
};

// One Explorer verb: its key, the text it shows and the command its "command" subkey runs.
struct ExplorerVerb
{
    QString keyPath;
    QString displayText;
    QString command;
};

// The two verbs, in the order they are written: on a folder (the folder is passed as "%1")
// and on a folder's background (no argument). `programPath` may use either separator.
QList<ExplorerVerb> explorerVerbs(const QString &programPath);

// Writes each verb's command and display text where they differ from the store's values.
void writeExplorerVerbs(RegistryStore &store, const QString &programPath);
