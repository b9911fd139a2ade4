#pragma once

#include <QStringList>

class QMimeData;

// A file drop as Linux file managers take it from the clipboard: text/uri-list,
// x-special/gnome-copied-files ("copy" or "cut", then the URLs; Nautilus, Nemo, Thunar,
// PCManFM, Caja), application/x-kde-cutselection ("1" when cut; Dolphin), and the paths as
// plain text, one a line, for pasting into an editor. The caller owns the result.
QMimeData *buildFileDropMimeData(const QStringList &paths, bool copy);
