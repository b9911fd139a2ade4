#include "walk/namefilter.h"

namespace {

bool isPlainAsciiGlob(const QString &pattern)
{
    for (const QChar c : pattern) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || u == '?' || u == '[' || u == ']' || u == '\\' || u == '/')
            return false;
    }
    return true;
}

inline char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

bool isAscii(std::string_view s)
{
    for (const unsigned char c : s) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

} // namespace

NameFilter::NameFilter(const QStringList &patterns)
{
    patterns_.reserve(size_t(patterns.size()));
    for (const QString &p : patterns) {
        Pattern pattern;
        pattern.regExp = QRegularExpression::fromWildcard(p, Qt::CaseInsensitive);
        pattern.regExp.optimize();
        if (isPlainAsciiGlob(p)) {
            pattern.hasAsciiGlob = true;
            pattern.asciiGlob = p.toLower().toStdString();
        }
        patterns_.push_back(std::move(pattern));
    }
}

bool NameFilter::matches(const DirListing &listing, const DirListing::Entry &entry) const
{
    const std::string_view raw = listing.rawNameView(entry);
    const bool asciiName = isAscii(raw);
    QString decoded;   // only where a regular expression needs it
    for (const Pattern &p : patterns_) {
        if (asciiName && p.hasAsciiGlob) {
            if (asciiGlobMatch(raw.data(), raw.size(), p.asciiGlob))
                return true;
        } else {
            if (decoded.isNull())
                decoded = listing.name(entry);
            if (p.regExp.match(decoded).hasMatch())
                return true;
        }
    }
    return false;
}

bool asciiGlobMatch(const char *name, size_t nameLength, const std::string &pattern)
{
    // Classic two-pointer glob: on a mismatch, let the last '*' swallow one more character.
    size_t n = 0, p = 0;
    size_t starP = std::string::npos, starN = 0;
    while (n < nameLength) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == lowerAscii(name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}
