#pragma once

#include <QString>

// The folder where the program keeps its per-run state: the hand-off file "shownow.cmd" and
// the archive search's extraction files (in "tmp" below it). It is the program's own
// directory when files can be created there, else a per-user data folder.
QString stateFolder();

// The decision for a given program directory; creates the per-user folder when it is chosen.
QString stateFolderFor(const QString &programDir);

// $XDG_DATA_HOME/quorvel (or the platform's equivalent); not created.
QString perUserStateFolder();

// Whether new files can be made in `dir`.
bool isUsableStateFolder(const QString &dir);
