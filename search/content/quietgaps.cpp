#include "content/quietgaps.h"

#include "content/casefold.h"

#include <algorithm>
#include <vector>

namespace {

// The most bytes a switch has after its lead byte.
size_t longestTail(QuietGaps gaps)
{
    switch (gaps) {
    case QuietGaps::Shifts: return 3;
    case QuietGaps::Tildes: return 1;
    case QuietGaps::Tags: return 2;
    case QuietGaps::Highs:
    case QuietGaps::None: break;
    }
    return 0;
}

// Finds the text's characters from a given one on, switches allowed before each. Switch bytes
// are never text bytes (the text is printable ASCII without them).
struct GapSearch
{
    const unsigned char *data;
    size_t size;
    const std::vector<ByteSet> &classes;
    const ByteSet &leads;
    size_t tail;
    long budget = 1 << 20;   // steps; past them a match is assumed

    bool follows(size_t i, size_t at)
    {
        for (;;) {
            if (i == classes.size())
                return true;
            if (at >= size)
                return false;
            if (--budget < 0)
                return true;
            if (!leads.test(data[at])) {
                if (!classes[i].test(data[at]))
                    return false;
                ++i;
                ++at;
                continue;
            }
            // Switches, one after another, may end anywhere up to `reach`.
            size_t reach = at;
            for (size_t p = at; p <= reach && p < size; ++p) {
                if (leads.test(data[p]))
                    reach = std::max(reach, p + 1 + tail);
            }
            for (size_t r = at + 1; r <= reach && r < size; ++r) {
                if (!leads.test(data[r]) && classes[i].test(data[r]) && follows(i + 1, r + 1))
                    return true;
            }
            return false;
        }
    }
};

} // namespace

std::vector<ByteSet> quietGateClasses(const QString &text, Qt::CaseSensitivity cs, QuietGaps gaps)
{
    const ByteSet leads = quietGapLeads(gaps);
    std::vector<ByteSet> classes;
    if (gaps == QuietGaps::None)
        return classes;
    for (const QChar c : text) {
        ByteSet bytes;
        for (const char16_t v : casefold::variants(c.unicode(), cs)) {
            if (v < 0x20 || v > 0x7e || leads.test(v))
                return {};
            bytes.set(v);
        }
        classes.push_back(bytes);
    }
    return classes;
}

ByteSet quietGapLeads(QuietGaps gaps)
{
    ByteSet leads;
    switch (gaps) {
    case QuietGaps::Shifts:
        for (const unsigned b : {0x0e, 0x0f, 0x1b})   // SO, SI, ESC
            leads.set(b);
        break;
    case QuietGaps::Tildes:
        leads.set('~');
        break;
    case QuietGaps::Tags:
        for (unsigned b = 0; b < 0x20; ++b)
            leads.set(b);
        for (unsigned b = 0xe0; b <= 0xf2; ++b)
            leads.set(b);
        break;
    case QuietGaps::Highs:
        for (unsigned b = 0x80; b < 0x100; ++b)
            leads.set(b);
        break;
    case QuietGaps::None:
        break;
    }
    return leads;
}

QuietGate::QuietGate(std::vector<ByteSet> classes, QuietGaps gaps)
    : text_(classes)
    , first_(classes.empty() ? std::vector<ByteSet>() : std::vector<ByteSet>{classes.front()})
    , leads_(quietGapLeads(gaps))
    , gaps_(gaps)
{
}

bool QuietGate::holds(const unsigned char *data, size_t size) const
{
    const std::vector<ByteSet> &classes = text_.classes();
    if (classes.empty())
        return true;
    std::vector<size_t> found;
    text_.findAll(data, size, 0, size, found);
    if (!found.empty())
        return true;
    // Else an occurrence with switches: from each byte of the first character on.
    first_.findAll(data, size, 0, size, found);
    GapSearch search{data, size, classes, leads_, longestTail(gaps_)};
    for (const size_t p : found) {
        if (search.follows(1, p + 1))
            return true;
    }
    return false;
}
