#pragma once

#include <QDateTime>
#include <QString>

// The hand-off between a later start and the running instance: every start rewrites
// "shownow.cmd" with a time stamp, and the running instance shows its window when the
// file changes. A start asked to search a folder puts it on a second line, which the
// running instance takes into its directory field (builds that read only the change
// ignore it).

// Absolute path of "shownow.cmd" in the state folder.
QString showNowFilePath();

// Writes the current local time, and `folder` when not empty, to "shownow.cmd"; silent when
// the file cannot be written.
void writeShowNowFile(const QString &folder = QString());

// The content written: "dd.MM.yyyy hh:mm:ss.zzz" as ASCII, no line end (23 bytes).
QByteArray showNowStamp(const QDateTime &when);

// Replaces the content of `path` with the stamp of `when` and, when not empty, a line end and
// `folder` in UTF-8; false when it cannot be opened.
bool writeShowNowFileAt(const QString &path, const QDateTime &when, const QString &folder = QString());

// The folder of the hand-off file at `path`: its second line when that names an existing
// folder, else empty.
QString showNowFolder(const QString &path);
