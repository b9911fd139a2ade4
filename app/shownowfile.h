#pragma once

#include <QDateTime>
#include <QString>

// The hand-off between a later start and the running instance: every start rewrites
// "shownow.cmd" with a time stamp, and the running instance shows its window when the
// file changes. Only the change carries meaning.

// Absolute path of "shownow.cmd" in the state folder.
QString showNowFilePath();

// Writes the current local time to "shownow.cmd"; silent when the file cannot be written.
void writeShowNowFile();

// The content written: "dd.MM.yyyy hh:mm:ss.zzz" as ASCII, no line end (23 bytes).
QByteArray showNowStamp(const QDateTime &when);

// Replaces the content of `path` with the stamp of `when`; false when it cannot be opened.
bool writeShowNowFileAt(const QString &path, const QDateTime &when);
