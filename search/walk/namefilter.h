#pragma once

#include <QRegularExpression>
#include <QStringList>

#include "walk/dirlisting.h"

#include <string>
#include <vector>

// Whole-name, case-insensitive wildcard filters for names on disk, with the semantics of
// QDir's name filters. Names and patterns made of ASCII text and '*' alone are matched on
// the raw bytes; everything else goes through the same wildcard conversion QDir uses.
class NameFilter
{
public:
    NameFilter() = default;
    explicit NameFilter(const QStringList &patterns);

    bool isEmpty() const { return patterns_.empty(); }
    bool matches(const DirListing &listing, const DirListing::Entry &entry) const;

private:
    struct Pattern
    {
        QRegularExpression regExp;
        std::string asciiGlob;   // lower-cased; set only when the fast path is exact
        bool hasAsciiGlob = false;
    };
    std::vector<Pattern> patterns_;
};

// Case-insensitive match of an ASCII name against a lower-cased pattern of literal ASCII
// characters and '*' wildcards.
bool asciiGlobMatch(const char *name, size_t nameLength, const std::string &lowerPattern);
