#pragma once

#include <QString>

// The folder where the program keeps its per-run state: the hand-off file "shownow.cmd" and
// the archive search's extraction files (in "tmp" below it). It is the program's own
// directory when that is a folder of the user's own where files can be created (a copy
// unpacked somewhere), else the per-user data folder: an installed program never writes
// beside itself, not even when run by the superuser.
QString stateFolder();

// The decision for a given program directory; creates the per-user folder when it is chosen.
QString stateFolderFor(const QString &programDir);

// $XDG_DATA_HOME/quorvel (or the platform's equivalent); not created.
QString perUserStateFolder();

// Whether `dir` may hold the state: writable, the user's own, and no system folder.
bool isUsableStateFolder(const QString &dir);

// Platform parts, on absolute paths. A folder where installed programs live (/usr, /bin,
// /opt, /snap; the program and system folders of Windows).
bool isSystemFolder(const QString &dir);
// Whether the current user owns `dir` (always true where ownership means little).
bool isOwnedByUser(const QString &dir);
