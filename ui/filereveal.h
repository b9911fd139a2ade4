#pragma once

class QString;

// Shows the file or folder at `path` selected in a window of the desktop's file manager.
// Asynchronous: returns before the file manager answers. One implementation per platform.
void revealInFileManager(const QString &path);
