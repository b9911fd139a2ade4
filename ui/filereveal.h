#pragma once

#include <QStringList>

#include <functional>

// Shows `paths`, all in one folder, selected in one window of the desktop's file manager.
// Asynchronous: returns before the file manager answers; `failed` runs when nothing could be
// shown. One implementation per platform.
void revealInFileManager(const QStringList &paths, const std::function<void()> &failed);
