#include "filereveal.h"

#include <QDir>
#include <QProcess>
#include <QString>

void revealInFileManager(const QString &path)
{
    // "explorer /select,<path>", started detached. The path goes in quotes: Explorer reads
    // a comma as the end of the argument, and Qt would otherwise quote the whole argument,
    // "/select," included, which Explorer does not understand.
    QProcess explorer;
    explorer.setProgram(QStringLiteral("explorer"));
    explorer.setNativeArguments(QLatin1String("/select,\"") + QDir::toNativeSeparators(path)
                                + QLatin1Char('"'));
    explorer.startDetached();
}
