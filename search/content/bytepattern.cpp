#include "content/bytepattern.h"

#include "content/cpufeatures.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// A rough weight of how common a byte is in text and source code: the two probes of a
// pattern go where a match is least likely.
double byteWeight(unsigned b)
{
    if (b == ' ' || b == 0)
        return 10;   // NUL: patterns with it (UTF-16, UTF-32) are only looked for where NULs are
    if (std::strchr("etaoinsrhl", int(b)) && b != 0)
        return 5;
    if (std::strchr("jkqvwxyz", int(b)) && b != 0)
        return 1;
    if (b >= 'a' && b <= 'z')
        return 2;
    if (b == '\n' || b == '\t')
        return 3;
    if ((b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9'))
        return 1;
    if (b < 0x20)
        return 0.1;
    if (b < 0x80)
        return 0.8;
    return 0.3;
}

double classWeight(const ByteSet &set)
{
    static const auto weights = [] {
        std::array<double, 256> w{};
        for (unsigned b = 0; b < 256; ++b)
            w[b] = byteWeight(b);
        return w;
    }();
    double w = 0;
#if defined(__GLIBCXX__)
    for (size_t b = set._Find_first(); b < 256; b = set._Find_next(b))
        w += weights[b];
#else
    for (size_t b = 0; b < 256; ++b) {
        if (set[b])
            w += weights[b];
    }
#endif
    return w;
}

const ByteSet &highBytes()
{
    static const ByteSet set = bytecategory::bytesOf(bytecategory::High);
    return set;
}

} // namespace

BytePattern::BytePattern(std::vector<ByteSet> classes)
    : classes_(std::move(classes))
{
    for (const ByteSet &set : classes_) {
        if (set.none())
            impossible_ = true;
    }
    // Probes go on the two rarest positions a vector compare can test.
    int best = -1, next = -1;
    double bestWeight = 0, nextWeight = 0;
    for (size_t i = 0; i < classes_.size(); ++i) {
        const ByteSet &set = classes_[i];
        if (set.count() > 4 && set != highBytes())
            continue;
        if (best >= 0 && next >= 0 && classes_.size() > 16 && i > 16)
            break;   // long patterns: the first positions do
        const double w = classWeight(set);
        if (best < 0 || w < bestWeight) {
            next = best;
            nextWeight = bestWeight;
            best = int(i);
            bestWeight = w;
        } else if (next < 0 || w < nextWeight) {
            next = int(i);
            nextWeight = w;
        }
    }
    if (best >= 0)
        first_ = makeProbe(size_t(best));
    if (next >= 0)
        second_ = makeProbe(size_t(next));
}

BytePattern::Probe BytePattern::makeProbe(size_t offset) const
{
    Probe probe;
    probe.offset = offset;
    const ByteSet &set = classes_[offset];
    if (set == highBytes()) {
        probe.kind = Probe::HighBit;
        return probe;
    }
    probe.kind = Probe::Values;
    for (unsigned b = 0; b < 256; ++b) {
        if (set.test(b))
            probe.values[probe.valueCount++] = (unsigned char)b;
    }
    return probe;
}

bool BytePattern::canOccurIn(const ByteSet &possible) const
{
    for (const ByteSet &set : classes_) {
        if ((set & possible).none())
            return false;
    }
    return !classes_.empty();
}

bool BytePattern::matchesAt(const unsigned char *data) const
{
    for (size_t i = 0; i < classes_.size(); ++i) {
        if (!classes_[i][data[i]])
            return false;
    }
    return true;
}

#ifdef QUORVEL_HAVE_AVX2
namespace {

// One probe as vector compares: the high bit, up to four byte values, or two values that
// differ only in bit 5 (an ASCII letter in both cases), tested with one OR and one compare.
struct Avx2Probe
{
    bool highBit = false;
    bool folded = false;
    size_t offset = 0;
    int count = 0;
    __m256i values[4];
};

__attribute__((target("avx2"), always_inline)) inline void collect(const BytePattern &pattern, const unsigned char *data,
                                                                  size_t base, uint64_t mask, std::vector<size_t> &out)
{
    while (mask) {
        const size_t q = base + size_t(__builtin_ctzll(mask));
        mask &= mask - 1;
        if (pattern.matchesAt(data + q))
            out.push_back(q);
    }
}

// What a probe's compare looks like, so that the 64-byte loop is made once per pair of shapes
// and tests no flags per block.
enum class Shape { HighBit, Folded, Single, Several };

Shape shapeOf(const Avx2Probe &probe)
{
    if (probe.highBit)
        return Shape::HighBit;
    if (probe.folded)
        return Shape::Folded;
    return probe.count == 1 ? Shape::Single : Shape::Several;
}

template <Shape S>
__attribute__((target("avx2"), always_inline)) inline __m256i shapedProbe(const Avx2Probe &probe,
                                                                         const unsigned char *at)
{
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + probe.offset));
    if constexpr (S == Shape::HighBit) {
        return x;   // movemask and the block test take the high bits
    } else if constexpr (S == Shape::Folded) {
        return _mm256_cmpeq_epi8(_mm256_or_si256(x, _mm256_set1_epi8(0x20)), probe.values[0]);
    } else if constexpr (S == Shape::Single) {
        return _mm256_cmpeq_epi8(x, probe.values[0]);
    } else {
        __m256i m = _mm256_cmpeq_epi8(x, probe.values[0]);
        for (int k = 1; k < probe.count; ++k)
            m = _mm256_or_si256(m, _mm256_cmpeq_epi8(x, probe.values[k]));
        return m;
    }
}

// The same for a probe whose shape is known only at run time (the last blocks of a scan).
__attribute__((target("avx2"))) inline __m256i probeVector(const Avx2Probe &probe, const unsigned char *at)
{
    switch (shapeOf(probe)) {
    case Shape::HighBit:
        return shapedProbe<Shape::HighBit>(probe, at);
    case Shape::Folded:
        return shapedProbe<Shape::Folded>(probe, at);
    case Shape::Single:
        return shapedProbe<Shape::Single>(probe, at);
    case Shape::Several:
        break;
    }
    return shapedProbe<Shape::Several>(probe, at);
}

// Candidates 64 starts at a time where both probes hold (`B` is `A` and `second` is `first` for
// a pattern with one probe). The probes are copies: nothing the loop writes can change them, so
// they stay in registers. Returns where the caller has to go on.
template <Shape A, Shape B>
__attribute__((target("avx2"))) size_t scanBlocks(const BytePattern &pattern, const Avx2Probe first,
                                                  const Avx2Probe second, bool twoProbes, const unsigned char *data,
                                                  size_t size, size_t p, size_t to, size_t reach,
                                                  std::vector<size_t> &out)
{
    const __m256i highBits = _mm256_set1_epi8(char(0x80));
    for (; p + reach + 64 <= size && p + 64 <= to; p += 64) {
        __m256i m0 = shapedProbe<A>(first, data + p);
        __m256i m1 = shapedProbe<A>(first, data + p + 32);
        if (twoProbes) {
            m0 = _mm256_and_si256(m0, shapedProbe<B>(second, data + p));
            m1 = _mm256_and_si256(m1, shapedProbe<B>(second, data + p + 32));
        }
        if (_mm256_testz_si256(_mm256_or_si256(m0, m1), highBits))
            continue;
        collect(pattern, data, p,
                uint64_t(unsigned(_mm256_movemask_epi8(m0))) | uint64_t(unsigned(_mm256_movemask_epi8(m1))) << 32,
                out);
    }
    return p;
}

// The block loops by shape of the first and of the second probe, in the order of `Shape`.
using BlockScan = size_t (*)(const BytePattern &, Avx2Probe, Avx2Probe, bool, const unsigned char *, size_t, size_t,
                             size_t, size_t, std::vector<size_t> &);
template <Shape A>
constexpr std::array<BlockScan, 4> blockScansAfter{&scanBlocks<A, Shape::HighBit>, &scanBlocks<A, Shape::Folded>,
                                                   &scanBlocks<A, Shape::Single>, &scanBlocks<A, Shape::Several>};
constexpr std::array<std::array<BlockScan, 4>, 4> blockScans{
    blockScansAfter<Shape::HighBit>, blockScansAfter<Shape::Folded>, blockScansAfter<Shape::Single>,
    blockScansAfter<Shape::Several>};

// Candidates 64 starts at a time: the first (rarest) probe must hold, then the second; the
// rest is checked byte by byte. Returns where the scalar scan has to go on.
__attribute__((target("avx2"))) size_t findAllAvx2(const BytePattern &pattern, const Avx2Probe &first,
                                                   const Avx2Probe *second, const unsigned char *data,
                                                   size_t size, size_t p, size_t to, std::vector<size_t> &out)
{
    const size_t reach = std::max(first.offset, second ? second->offset : 0);
    const Avx2Probe &other = second ? *second : first;
    const BlockScan scan = blockScans[size_t(shapeOf(first))][size_t(shapeOf(other))];
    p = scan(pattern, first, other, second != nullptr, data, size, p, to, reach, out);
    for (; p + reach + 32 <= size && p + 32 <= to; p += 32) {
        uint64_t mask = unsigned(_mm256_movemask_epi8(probeVector(first, data + p)));
        if (mask && second)
            mask &= unsigned(_mm256_movemask_epi8(probeVector(*second, data + p)));
        collect(pattern, data, p, mask, out);
    }
    return p;
}

__attribute__((target("avx2"))) Avx2Probe makeAvx2Probe(bool highBit, size_t offset, const unsigned char *values,
                                                        int count)
{
    Avx2Probe probe;
    probe.highBit = highBit;
    probe.offset = offset;
    probe.count = count;
    if (count == 2 && (values[0] ^ values[1]) == 0x20) {
        probe.folded = true;
        probe.values[0] = _mm256_set1_epi8(char(values[0] | 0x20));
        return probe;
    }
    for (int k = 0; k < count; ++k)
        probe.values[k] = _mm256_set1_epi8(char(values[k]));
    return probe;
}

} // namespace
#endif

void BytePattern::findAll(const unsigned char *data, size_t size, size_t from, size_t to,
                          std::vector<size_t> &out) const
{
    const size_t len = classes_.size();
    if (len == 0 || size < len || impossible_)
        return;
    if (to > size - len + 1)
        to = size - len + 1;
    size_t p = from;
#ifdef QUORVEL_HAVE_AVX2
    if (first_.kind != Probe::None && cpuHasAvx2()) {
        const Avx2Probe a = makeAvx2Probe(first_.kind == Probe::HighBit, first_.offset, first_.values, first_.valueCount);
        if (second_.kind != Probe::None) {
            const Avx2Probe b = makeAvx2Probe(second_.kind == Probe::HighBit, second_.offset, second_.values,
                                              second_.valueCount);
            p = findAllAvx2(*this, a, &b, data, size, p, to, out);
        } else {
            p = findAllAvx2(*this, a, nullptr, data, size, p, to, out);
        }
    }
#endif
    if (first_.kind == Probe::Values && first_.valueCount == 1 && len == 1) {
        // A single byte: the C library's search is as good as it gets.
        while (p < to) {
            const void *hit = std::memchr(data + p, first_.values[0], to - p);
            if (!hit)
                return;
            const size_t q = size_t(static_cast<const unsigned char *>(hit) - data);
            out.push_back(q);
            p = q + 1;
        }
        return;
    }
    const ByteSet &lead = classes_[first_.kind == Probe::None ? 0 : first_.offset];
    const size_t leadOffset = first_.kind == Probe::None ? 0 : first_.offset;
    for (; p < to; ++p) {
        if (lead[data[p + leadOffset]] && matchesAt(data + p))
            out.push_back(p);
    }
}
