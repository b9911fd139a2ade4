#pragma once

#include "windowenvironment.h"

// What this program hands its window: the state folder's extraction folder and hand-off
// file with the folder a later start passes, the drive list, the tray icon and its
// messages, and the per-user memory of the form.
WindowEnvironment programWindowEnvironment();
