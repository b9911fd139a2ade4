#pragma once

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

// The form as the user filled it in: three texts and four options.
struct SearchForm
{
    QString dirText;     // roots, ";"-separated
    QString nameText;    // file-name patterns, ";"-separated
    QString grepText;    // text to find inside files, as typed
    bool exactName = false;
    bool recursive = true;
    bool ignoreCase = false;
    bool deepSearch = false;
};

// What the worker receives, argument by argument.
struct SearchRequest
{
    QList<QDir> roots;
    QStringList namePatterns;
    QString grepText;    // untrimmed
    Qt::CaseSensitivity caseSensitivity = Qt::CaseSensitive;
    bool recursive = true;
    bool exactName = false;
    bool deepSearch = false;
};

// Why a form cannot be searched, with the warning the user sees.
struct SearchFormError
{
    enum Kind { None, NothingToSearch, MissingDirectory, NotADirectory, InvalidPattern };
    Kind kind = None;
    QString part;     // the offending root or name pattern
    QString reason;   // InvalidPattern: what is wrong with it

    QString title() const;
    QString text() const;
};

// The name patterns of the file-name text: split at ";", trimmed, empty parts dropped.
QStringList splitNamePatterns(const QString &nameText);
// The roots of the directory text: trimmed, native separators, split at ";" keeping empty
// parts, which name the current directory.
QStringList splitRootTexts(const QString &dirText);
// True when the trimmed content text asks for a content search.
bool isContentSearch(const SearchForm &form);

// Builds the request, or returns false and says why in `error`.
bool assembleSearchRequest(const SearchForm &form, SearchRequest &request, SearchFormError &error);
