#pragma once

// Puts a packed file list (see packFileList) on the system clipboard as a file drop to copy
// (`copy` true) or to move. An empty list still replaces what the clipboard held.
// One implementation per platform: the Windows clipboard formats there, the formats of the
// desktop's file managers elsewhere.
void setClipboardFiles(const char *files, int length, bool copy);
