// Windows: the Explorer verbs in the registry, through QSettings in native format.
#include "contextmenuregistration.h"

#include "explorerverbs.h"

#include <QSettings>

namespace {

class NativeRegistryStore : public RegistryStore
{
public:
    // "Default" names the unnamed value of the key that the settings object is opened on.
    QString defaultValue(const QString &keyPath) override
    {
        QSettings settings(keyPath, QSettings::NativeFormat);
        return settings.value(QStringLiteral("Default")).toString();
    }

    // A failed write (no right to write under HKEY_CLASSES_ROOT) leaves the registry as it was,
    // and nobody is told.
    void setDefaultValue(const QString &keyPath, const QString &value) override
    {
        QSettings settings(keyPath, QSettings::NativeFormat);
        settings.setValue(QStringLiteral("Default"), value);
    }
};

} // namespace

void registerContextMenu(const QString &programPath)
{
    if (programPath.isEmpty())
        return;
    NativeRegistryStore store;
    writeExplorerVerbs(store, programPath);
}
