#pragma once

#include <QString>

// Quoting of command lines for the places that start the program from a file manager.

// A value as a desktop-entry or key-file string: backslash, newline, tab and carriage return
// escaped, as such files require.
QString escapeKeyFileString(const QString &text);

// One argument of a desktop-entry Exec line: in double quotes, with the characters that are
// special there (double quote, backtick, dollar sign, backslash) escaped and the percent sign
// doubled. Still to be passed through escapeKeyFileString before it goes into a file.
QString quoteExecArgument(const QString &argument);

// `text` in double quotes for a shell-like command line, with double quote, backtick, dollar
// sign and backslash escaped (no percent doubling).
QString quoteDoubleQuoted(const QString &text);

// `text` in single quotes for /bin/sh; an embedded single quote becomes '\''.
QString quoteShellArgument(const QString &text);
