#include "walk/wildcard.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

inline char32_t fold(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    return QChar::toCaseFolded(c);
}

bool isAscii(std::string_view s)
{
    for (const unsigned char c : s) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

// Code points of a name, indexable: plain bytes for ASCII, decoded text for the rest.
struct AsciiName
{
    std::string_view bytes;
    char32_t operator[](size_t i) const { return char32_t((unsigned char)bytes[i]); }
};
// UTF-16 without surrogates: every unit is a code point, no copy needed.
struct BmpName
{
    QStringView units;
    char32_t operator[](size_t i) const { return char32_t(units[qsizetype(i)].unicode()); }
};
struct WideName
{
    const QList<uint> &points;
    char32_t operator[](size_t i) const { return char32_t(points[qsizetype(i)]); }
};

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

bool WildcardPattern::CharSet::contains(char32_t c) const
{
    // A set ignores case as a regular expression does: any case form of the character counts
    // (the Kelvin sign K folds to 'k', whose capital 'K' a range A-Z holds).
    const char32_t forms[] = {c, fold(c), QChar::toLower(c), QChar::toUpper(c), QChar::toUpper(fold(c))};
    for (const auto &range : ranges) {
        for (const char32_t form : forms) {
            if (form >= range.first && form <= range.second)
                return true;
        }
    }
    return false;
}

bool WildcardPattern::parse(const QString &text, WildcardPattern &pattern, QString *why)
{
    pattern = WildcardPattern();
    const QList<uint> points = text.toUcs4();
    const qsizetype n = points.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char32_t c = points[i];
        if (c == '*') {
            if (pattern.tokens_.empty() || pattern.tokens_.back().kind != Token::AnyRun)
                pattern.tokens_.push_back(Token{Token::AnyRun});
        } else if (c == '?') {
            pattern.tokens_.push_back(Token{Token::AnyOne});
        } else if (c == '[') {
            CharSet set;
            qsizetype j = i + 1;
            if (j < n && (points[j] == '!' || points[j] == '^')) {
                set.negated = true;
                ++j;
            }
            for (bool first = true; j < n && (points[j] != ']' || first); first = false) {
                const char32_t low = points[j];
                if (j + 2 < n && points[j + 1] == '-' && points[j + 2] != ']') {
                    const char32_t high = points[j + 2];
                    if (high < low) {
                        if (why)
                            *why = tr("范围“%1”两端颠倒").arg(text.mid(j, 3));
                        return false;
                    }
                    set.ranges.emplace_back(low, high);
                    j += 3;
                } else {
                    set.ranges.emplace_back(low, low);
                    set.ranges.emplace_back(fold(low), fold(low));
                    ++j;
                }
            }
            if (j >= n) {
                if (why)
                    *why = tr("“[”没有配对的“]”");
                return false;
            }
            pattern.tokens_.push_back(Token{Token::Set, 0, unsigned(pattern.sets_.size())});
            pattern.sets_.push_back(std::move(set));
            i = j;
        } else {
            pattern.tokens_.push_back(Token{Token::Literal, fold(c)});
        }
    }
    pattern.findAsciiShape();
    return true;
}

void WildcardPattern::findAsciiShape()
{
    size_t first = 0, last = tokens_.size();
    leadingStar_ = first < last && tokens_[first].kind == Token::AnyRun;
    first += leadingStar_ ? 1 : 0;
    trailingStar_ = first < last && tokens_[last - 1].kind == Token::AnyRun;
    last -= trailingStar_ ? 1 : 0;
    asciiLiteral_.clear();
    for (size_t t = first; t < last; ++t) {
        if (tokens_[t].kind != Token::Literal || tokens_[t].folded >= 0x80)
            return;
        asciiLiteral_ += char(tokens_[t].folded);
    }
    asciiShape_ = true;
}

bool WildcardPattern::matchesAsciiShape(std::string_view name) const
{
    const std::string_view literal = asciiLiteral_;
    if (name.size() < literal.size())
        return false;
    const auto equalAt = [&](size_t at) {
        for (size_t i = 0; i < literal.size(); ++i) {
            if (char(fold((unsigned char)name[at + i])) != literal[i])
                return false;
        }
        return true;
    };
    if (!leadingStar_)
        return equalAt(0) && (trailingStar_ || name.size() == literal.size());
    if (!trailingStar_)
        return equalAt(name.size() - literal.size());
    for (size_t at = 0; at + literal.size() <= name.size(); ++at) {
        if (equalAt(at))
            return true;
    }
    return false;
}

bool WildcardPattern::tokenMatches(const Token &token, char32_t c) const
{
    switch (token.kind) {
    case Token::Literal: return fold(c) == token.folded;
    case Token::AnyOne: return true;
    case Token::Set: return sets_[token.set].contains(c) != sets_[token.set].negated;
    case Token::AnyRun: break;
    }
    return false;
}

template<typename Name>
bool WildcardPattern::matchCodePoints(const Name &name, size_t length) const
{
    // On a mismatch the last '*' swallows one more character; earlier stars need never be
    // revisited, since the last one can absorb whatever they would.
    const size_t count = tokens_.size();
    size_t t = 0, i = 0;
    size_t starToken = count, starName = 0;
    while (i < length) {
        if (t < count && tokens_[t].kind == Token::AnyRun) {
            starToken = t++;
            starName = i;
        } else if (t < count && tokenMatches(tokens_[t], name[i])) {
            ++t;
            ++i;
        } else if (starToken < count) {
            t = starToken + 1;
            i = ++starName;
        } else {
            return false;
        }
    }
    while (t < count && tokens_[t].kind == Token::AnyRun)
        ++t;
    return t == count;
}

bool WildcardPattern::matches(QStringView name) const
{
    const bool surrogates = std::any_of(name.begin(), name.end(), [](QChar c) { return c.isSurrogate(); });
    if (!surrogates)
        return matchCodePoints(BmpName{name}, size_t(name.size()));
    const QList<uint> points = name.toUcs4();
    return matchCodePoints(WideName{points}, size_t(points.size()));
}

bool WildcardPattern::matchesBytes(std::string_view name) const
{
    if (isAscii(name))
        return asciiShape_ ? matchesAsciiShape(name) : matchCodePoints(AsciiName{name}, name.size());
    return matches(QString::fromUtf8(name.data(), qsizetype(name.size())));
}

NameMatcher::NameMatcher(const QStringList &patterns)
    : texts_(patterns)
{
    for (const QString &text : patterns) {
        WildcardPattern pattern;
        if (WildcardPattern::parse(text, pattern))
            patterns_.push_back(std::move(pattern));
    }
}

bool NameMatcher::matches(QStringView name) const
{
    for (const WildcardPattern &p : patterns_) {
        if (p.matches(name))
            return true;
    }
    return false;
}

bool NameMatcher::matchesBytes(std::string_view name) const
{
    if (!isAscii(name))
        return matches(QString::fromUtf8(name.data(), qsizetype(name.size())));
    for (const WildcardPattern &p : patterns_) {
        if (p.matchesBytes(name))
            return true;
    }
    return false;
}
