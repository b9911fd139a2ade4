#include "filereveal.h"

#include <QDir>
#include <QProcess>
#include <QString>

void revealInFileManager(const QStringList &paths, const std::function<void()> &failed)
{
    if (paths.isEmpty())
        return;
    // Explorer selects one item per window: one window for the folder, on its first file.
    const QString &path = paths.first();
    // "explorer /select,<path>", started detached. The path goes in quotes: Explorer reads
    // a comma as the end of the argument, and Qt would otherwise quote the whole argument,
    // "/select," included, which Explorer does not understand.
    QProcess explorer;
    explorer.setProgram(QStringLiteral("explorer"));
    explorer.setNativeArguments(QLatin1String("/select,\"") + QDir::toNativeSeparators(path)
                                + QLatin1Char('"'));
    if (!explorer.startDetached() && failed)
        failed();
}
