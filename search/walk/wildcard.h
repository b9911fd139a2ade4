#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

// One whole-name wildcard pattern, matched without regard to case: '*' stands for any run of
// characters, '?' for one, "[...]" for one of a set (ranges "a-z"; "[!...]" or "[^...]" for
// the complement; a ']' right after the opening is a member). Every other character, the
// backslash included, stands for itself. Building is linear in the pattern; matching walks
// pattern and name with two pointers, going back only to the last '*'.
class WildcardPattern
{
public:
    // Builds the pattern, or returns false and says why in `why` (an unclosed "[", a range
    // whose ends are reversed).
    static bool parse(const QString &text, WildcardPattern &pattern, QString *why = nullptr);

    bool matches(QStringView name) const;
    // `name` in file-system bytes (UTF-8); bytes that do not decode count as U+FFFD.
    bool matchesBytes(std::string_view name) const;

private:
    struct Token
    {
        enum Kind : unsigned char { Literal, AnyOne, AnyRun, Set } kind;
        char32_t folded = 0;   // Literal: the character, case-folded
        unsigned set = 0;      // Set: index into sets_
    };
    struct CharSet
    {
        bool negated = false;
        std::vector<std::pair<char32_t, char32_t>> ranges;
        bool contains(char32_t c) const;
    };
    template<typename Name>
    bool matchCodePoints(const Name &name, size_t length) const;
    // Most patterns are a run of letters with a star before, after or around it ("config" as
    // "*config*", "*.txt"); for those an ASCII name is compared bytewise.
    void findAsciiShape();
    bool matchesAsciiShape(std::string_view name) const;
    bool tokenMatches(const Token &token, char32_t c) const;

    std::vector<Token> tokens_;
    std::vector<CharSet> sets_;
    bool asciiShape_ = false;
    bool leadingStar_ = false, trailingStar_ = false;
    std::string asciiLiteral_;   // folded
};

// The name filters of one search: a name matches when one of them matches it whole.
class NameMatcher
{
public:
    NameMatcher() = default;
    // Patterns that do not parse are left out (the request assembly rejects them first).
    explicit NameMatcher(const QStringList &patterns);

    const QStringList &patterns() const { return texts_; }
    bool isEmpty() const { return patterns_.empty(); }
    bool matches(QStringView name) const;
    bool matchesBytes(std::string_view name) const;

private:
    QStringList texts_;
    std::vector<WildcardPattern> patterns_;
};
