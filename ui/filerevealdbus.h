#pragma once

#include <QStringList>

#include <functional>

class QDBusConnection;

// Asks the freedesktop file-manager service on `bus` (org.freedesktop.FileManager1,
// ShowItems) to show `paths`, all in one folder, selected: one call for all of them. Where
// the bus is not there or no such service answers, the folder is opened with the desktop's
// default handler instead; `failed` runs when that cannot be done either.
void revealThroughFileManager1(const QDBusConnection &bus, const QStringList &paths,
                               const std::function<void()> &failed = {});
