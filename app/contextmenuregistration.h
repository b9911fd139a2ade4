#pragma once

#include <QString>

// Offers the program in the context menu of folders and of folder backgrounds: chosen on a
// folder it starts the program with that folder, on a background without argument. Called
// once per start of the first instance. Writes only what differs from what is there, never
// removes anything and stays silent when it may not write.
void registerContextMenu();

// The same for the program at `programPath` (QCoreApplication::applicationFilePath() above).
void registerContextMenu(const QString &programPath);
