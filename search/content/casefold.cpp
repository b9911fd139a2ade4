#include "content/casefold.h"

#include <QChar>

#include <algorithm>
#include <array>

namespace casefold {

namespace {

bool isSurrogate(char16_t u)
{
    return u >= 0xd800 && u <= 0xdfff;
}

// Units grouped by their folding: sorted (fold, unit) pairs, built once.
struct FoldIndex
{
    std::vector<std::pair<char16_t, char16_t>> byFold;

    FoldIndex()
    {
        byFold.reserve(0x10000);
        for (uint u = 0; u < 0x10000; ++u) {
            if (!isSurrogate(char16_t(u)))
                byFold.emplace_back(fold(char16_t(u)), char16_t(u));
        }
        std::sort(byFold.begin(), byFold.end());
    }
};

const FoldIndex &foldIndex()
{
    static const FoldIndex index;
    return index;
}

} // namespace

char16_t fold(char16_t unit)
{
    if (isSurrogate(unit))
        return unit;
    return char16_t(QChar::toCaseFolded(char32_t(unit)));
}

bool unitsMatch(char16_t a, char16_t b, Qt::CaseSensitivity cs)
{
    if (a == b)
        return true;
    return cs == Qt::CaseInsensitive && !isSurrogate(a) && !isSurrogate(b) && fold(a) == fold(b);
}

std::vector<char16_t> variants(char16_t unit, Qt::CaseSensitivity cs)
{
    if (cs == Qt::CaseSensitive || isSurrogate(unit))
        return {unit};
    const auto &index = foldIndex().byFold;
    const char16_t f = fold(unit);
    auto it = std::lower_bound(index.begin(), index.end(), std::make_pair(f, char16_t(0)));
    std::vector<char16_t> result;
    for (; it != index.end() && it->first == f; ++it)
        result.push_back(it->second);
    return result;
}

} // namespace casefold
