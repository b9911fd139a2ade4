#include "content/quietgaps.h"

#include "content/casefold.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

// Per byte: how many bytes at most a switch that starts with it has after it; -1 for a byte that
// starts none; kWindowOffset for a SCSU window definition.
using GapTails = std::array<signed char, 256>;

// A SCSU window definition (SDn, UDn) takes one offset byte; after a reserved one (0x00,
// 0xa8-0xf8) ICU's converter reports it and reads another offset byte, so the switch goes on
// through any run of reserved offsets and one more byte.
constexpr signed char kWindowOffset = 127;

bool reservedWindowOffset(unsigned char b)
{
    return b == 0x00 || (b >= 0xa8 && b <= 0xf8);
}

GapTails gapTails(QuietGaps gaps)
{
    GapTails tails;
    tails.fill(-1);
    const auto set = [&tails](unsigned from, unsigned to, int tail) {
        for (unsigned b = from; b <= to; ++b)
            tails[b] = static_cast<signed char>(tail);
    };
    switch (gaps) {
    case QuietGaps::Shifts:
        for (const unsigned b : {0x0e, 0x0f, 0x1b})   // SO, SI, ESC and its sequence
            tails[b] = 3;
        break;
    case QuietGaps::Tildes:
        tails['~'] = 1;
        break;
    case QuietGaps::Tags:
        // SCSU, both modes at once. Quiet: the window switches and definitions (SCn, SDn + offset,
        // SDX + 2, SCU; UCn, UDn + offset, UDX + 2) and the reserved tags. A character of the text
        // may also come quoted (SQ0 + byte, SQU + 0x00 + byte, UQU + 0x00 + byte) or as a
        // Unicode-mode unit (0x00 + byte): the lead and the bytes up to it are let pass. NUL,
        // tab, line feed and carriage return are characters in both modes: no switch.
        set(0x00, 0x08, 0);   // NUL before a unit's low byte; SQ0-SQ7 before the quoted byte
        set(0x0b, 0x0b, 2);   // SDX
        set(0x0c, 0x0c, 0);   // reserved
        set(0x0e, 0x0e, 2);   // SQU
        set(0x0f, 0x17, 0);   // SCU, SC0-SC7
        set(0x18, 0x1f, kWindowOffset);   // SD0-SD7
        set(0xe0, 0xe7, 0);   // UC0-UC7
        set(0xe8, 0xef, kWindowOffset);   // UD0-UD7
        set(0xf0, 0xf1, 2);   // UQU, UDX
        set(0xf2, 0xf2, 0);   // reserved
        break;
    case QuietGaps::Highs:
        set(0x80, 0xff, 0);
        break;
    case QuietGaps::Runs:
        tails['+'] = 3;
        break;
    case QuietGaps::None:
        break;
    }
    return tails;
}

// Where an occurrence can start: the first character's bytes, then the second's or a switch.
std::vector<ByteSet> startClasses(const std::vector<ByteSet> &classes, const GapTails &tails)
{
    std::vector<ByteSet> start(classes.begin(), classes.begin() + std::min<ptrdiff_t>(2, ptrdiff_t(classes.size())));
    if (start.size() == 2) {
        for (unsigned b = 0; b < 256; ++b) {
            if (tails[b] >= 0)
                start[1].set(b);
        }
    }
    return start;
}

// Finds the text's characters from a given one on, switches allowed before each. Switch bytes
// are never text bytes (the text is printable ASCII without them).
struct GapSearch
{
    const unsigned char *data;
    size_t size;
    const std::vector<ByteSet> &classes;
    const GapTails &tails;
    bool more;               // the bytes go on past `size`: a match that runs off them may be one
    long budget = 1 << 20;   // steps; past them a match is assumed

    bool isLead(unsigned char b) const { return tails[b] >= 0; }

    // Where the switch that starts at `p` ends at the latest.
    size_t switchEnd(size_t p) const
    {
        if (tails[data[p]] != kWindowOffset)
            return p + 1 + size_t(tails[data[p]]);
        size_t offset = p + 1;
        while (offset < size && reservedWindowOffset(data[offset]))
            ++offset;
        return offset + 1;
    }

    bool follows(size_t i, size_t at)
    {
        for (;;) {
            if (i == classes.size())
                return true;
            if (at >= size)
                return more;
            if (--budget < 0)
                return true;
            if (!isLead(data[at])) {
                if (!classes[i].test(data[at]))
                    return false;
                ++i;
                ++at;
                continue;
            }
            // Switches, one after another, may end anywhere up to `reach`.
            size_t reach = at;
            for (size_t p = at; p <= reach && p < size; ++p) {
                if (isLead(data[p]))
                    reach = std::max(reach, switchEnd(p));
            }
            if (more && reach >= size)
                return true;
            for (size_t r = at + 1; r <= reach && r < size; ++r) {
                if (!isLead(data[r]) && classes[i].test(data[r]) && follows(i + 1, r + 1))
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
    const GapTails tails = gapTails(gaps);
    ByteSet leads;
    for (unsigned b = 0; b < 256; ++b)
        leads.set(b, tails[b] >= 0);
    return leads;
}

QuietGate::QuietGate(std::vector<ByteSet> classes, QuietGaps gaps)
    : tails_(gapTails(gaps))
    , start_(startClasses(classes, tails_))
    , classes_(std::move(classes))
    , gaps_(gaps)
{
    for (const signed char tail : tails_)
        longestSwitch_ = std::max(longestSwitch_, size_t(tail + 1));
}

bool QuietGate::holds(const unsigned char *data, size_t size, bool more) const
{
    if (classes_.empty())
        return true;
    if (size == 0)
        return more;
    // A first character at the very end may go on in the bytes that follow.
    if (more && classes_.front().test(data[size - 1]))
        return true;
    std::vector<size_t> found;
    start_.findAll(data, size, 0, size, found);
    GapSearch search{data, size, classes_, tails_, more};
    for (const size_t p : found) {
        if (search.follows(1, p + 1))
            return true;
    }
    return false;
}

void QuietGate::starts(const unsigned char *data, size_t size, bool more, std::vector<size_t> &out) const
{
    if (classes_.empty()) {
        for (size_t p = 0; p < size; ++p)
            out.push_back(p);
        return;
    }
    if (size == 0)
        return;
    std::vector<size_t> found;
    start_.findAll(data, size, 0, size, found);
    GapSearch search{data, size, classes_, tails_, more};
    for (const size_t p : found) {
        if (search.follows(1, p + 1))
            out.push_back(p);
    }
    if (more && classes_.front().test(data[size - 1]) && (out.empty() || out.back() != size - 1))
        out.push_back(size - 1);
}
