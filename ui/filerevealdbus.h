#pragma once

class QDBusConnection;
class QString;

// Asks the freedesktop file-manager service on `bus` (org.freedesktop.FileManager1,
// ShowItems) to show `path` selected. Where the bus is not there or no such service
// answers, the containing folder is opened with the desktop's default handler instead.
void revealThroughFileManager1(const QDBusConnection &bus, const QString &path);
