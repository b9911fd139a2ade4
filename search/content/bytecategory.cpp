#include "content/bytecategory.h"

#include "content/cpufeatures.h"

#include <array>

namespace bytecategory {

ByteSet bytesOf(unsigned categories)
{
    ByteSet set;
    for (unsigned b = 0; b < 256; ++b) {
        const bool control = b < 0x20 && b != '\t' && b != '\n' && b != '\r';
        if (((categories & High) && b >= 0x80) || ((categories & Control) && control)
            || ((categories & Shift) && (b == 0x0e || b == 0x0f || b == 0x1b))
            || ((categories & Plus) && b == '+') || ((categories & Tilde) && b == '~')
            || ((categories & Zero) && b == 0))
            set.set(b);
    }
    return set;
}

namespace {
unsigned presentScalar(const unsigned char *data, size_t size)
{
    static const auto table = [] {
        std::array<unsigned char, 256> t{};
        for (unsigned c = 1; c <= All; c <<= 1) {
            const ByteSet set = bytesOf(c);
            for (unsigned b = 0; b < 256; ++b) {
                if (set.test(b))
                    t[b] |= (unsigned char)c;
            }
        }
        return t;
    }();
    unsigned found = 0;
    for (size_t i = 0; i < size; ++i)
        found |= table[data[i]];
    return found;
}

#ifdef QUORVEL_HAVE_AVX2
// Each category is a union of rectangles in (high nibble, low nibble) space; one bit per
// rectangle, looked up for both nibbles and combined with AND.
enum RectangleBit : unsigned char {
    HighRect = 1,        // 8..f, any
    ControlRow0 = 2,     // 0, {0..8, b, c, e, f}
    ControlRow1 = 4,     // 1, any
    ShiftRow0 = 8,       // 0, {e, f}
    ShiftEscape = 16,    // 1, b
    PlusRect = 32,       // 2, b
    TildeRect = 64,      // 7, e
    ZeroRect = 128,      // 0, 0
};

__attribute__((target("avx2"))) unsigned presentAvx2(const unsigned char *data, size_t size)
{
    alignas(32) static const auto tables = [] {
        std::array<unsigned char, 32> low{}, high{};
        for (unsigned n = 0; n < 16; ++n) {
            unsigned char l = HighRect | ControlRow1;
            if (n <= 8 || n == 0xb || n == 0xc || n == 0xe || n == 0xf)
                l |= ControlRow0;
            if (n == 0xe || n == 0xf)
                l |= ShiftRow0;
            if (n == 0xb)
                l |= ShiftEscape | PlusRect;
            if (n == 0xe)
                l |= TildeRect;
            if (n == 0)
                l |= ZeroRect;
            unsigned char h = n >= 8 ? HighRect : 0;
            if (n == 0)
                h |= ControlRow0 | ShiftRow0 | ZeroRect;
            if (n == 1)
                h |= ControlRow1 | ShiftEscape;
            if (n == 2)
                h |= PlusRect;
            if (n == 7)
                h |= TildeRect;
            low[n] = low[n + 16] = l;
            high[n] = high[n + 16] = h;
        }
        return std::make_pair(low, high);
    }();
    const __m256i lowTable = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(tables.first.data()));
    const __m256i highTable = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(tables.second.data()));
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    __m256i found0 = _mm256_setzero_si256(), found1 = found0;
    size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        const __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i));
        const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i + 32));
        found0 = _mm256_or_si256(found0, _mm256_and_si256(
            _mm256_shuffle_epi8(lowTable, _mm256_and_si256(x0, nibble)),
            _mm256_shuffle_epi8(highTable, _mm256_and_si256(_mm256_srli_epi16(x0, 4), nibble))));
        found1 = _mm256_or_si256(found1, _mm256_and_si256(
            _mm256_shuffle_epi8(lowTable, _mm256_and_si256(x1, nibble)),
            _mm256_shuffle_epi8(highTable, _mm256_and_si256(_mm256_srli_epi16(x1, 4), nibble))));
    }
    alignas(32) unsigned char lanes[32];
    _mm256_store_si256(reinterpret_cast<__m256i *>(lanes), _mm256_or_si256(found0, found1));
    unsigned bits = 0;
    for (const unsigned char lane : lanes)
        bits |= lane;
    unsigned found = 0;
    if (bits & HighRect)
        found |= High;
    if (bits & (ControlRow0 | ControlRow1))
        found |= Control;
    if (bits & (ShiftRow0 | ShiftEscape))
        found |= Shift;
    if (bits & PlusRect)
        found |= Plus;
    if (bits & TildeRect)
        found |= Tilde;
    if (bits & ZeroRect)
        found |= Zero;
    return found | presentScalar(data + i, size - i);
}
#endif
} // namespace

unsigned present(const unsigned char *data, size_t size)
{
#ifdef QUORVEL_HAVE_AVX2
    if (cpuHasAvx2())
        return presentAvx2(data, size);
#endif
    return presentScalar(data, size);
}

} // namespace bytecategory
