#pragma once

#include "windowenvironment.h"

// What this program hands its window: the state folder's extraction folder and hand-off
// file, the drive list, and the tray icon.
WindowEnvironment programWindowEnvironment();
