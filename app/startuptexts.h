#pragma once

#include <QString>
#include <QStringList>

// Every drive (file system root) as an absolute path followed by ";", in the order the
// system lists them: "C:/;D:/;" on Windows, "/;" on Linux.
QString driveListText();

// The directory the window starts with: the first argument after the program name when it
// names an existing directory, else `driveText`. A relative argument is taken relative to
// `startDir` (the directory the program was started in) and made absolute, because the
// program changes its working directory before it looks at the argument.
QString initialDirText(const QStringList &arguments, const QString &startDir,
                       const QString &driveText);

// The directory named by the first argument as above, or empty when it names none.
QString directoryArgument(const QStringList &arguments, const QString &startDir);
