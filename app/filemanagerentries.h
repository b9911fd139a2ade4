#pragma once

#include <QList>
#include <QString>

// The entries through which the file managers of free desktops offer the program for folders,
// each in the user's data folder ($XDG_DATA_HOME, usually ~/.local/share):
// - a desktop entry for the program that opens folders, so "Open With" offers it for them;
// - a Dolphin service menu for folders;
// - two Nemo actions: on a selected folder (passes it) and on the background (passes the
//   open folder);
// - a Nautilus script named after the menu text: passes the selected folder, or else the open
//   folder when it is a local one.

// Where each file lives below the data folder.
QString applicationEntryPath();     // applications/quorvel.desktop
QString dolphinServiceMenuPath();   // kio/servicemenus/quorvel.desktop
QString nemoFolderActionPath();     // nemo/actions/quorvel-folder.nemo_action
QString nemoBackgroundActionPath(); // nemo/actions/quorvel-background.nemo_action
QString nautilusScriptPath();       // nautilus/scripts/<menu text>

// One value of a key file, as it stands in the file (escapes included).
struct KeyFileValue
{
    QString group;
    QString key;
    QString value;
};

// The keys of the program's desktop entry with the given Exec value; the installed entry
// has the same keys with an Exec that finds the program on the search path.
QList<KeyFileValue> applicationEntryValues(const QString &exec);

// The Exec value that starts the program at `programPath` with a folder (desktop-entry
// quoting, field code %f).
QString folderExecValue(const QString &programPath);

// Creates or updates every entry under `dataHome` for the program at `programPath`. In key
// files only keys whose value differs are set, everything else in them stays; a file whose
// content is right already is not written again. Silent when something cannot be written.
void writeFileManagerEntries(const QString &dataHome, const QString &programPath);
