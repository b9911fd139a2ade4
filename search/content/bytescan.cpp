#include "content/bytescan.h"

#include "content/cpufeatures.h"

#include <cstring>

namespace bytescan {

#ifdef QUORVEL_HAVE_AVX2
namespace {
__attribute__((target("avx2"))) size_t countAvx2(const unsigned char *data, size_t size, unsigned char value)
{
    size_t c = 0;
    const __m256i v = _mm256_set1_epi8(char(value));
    for (size_t i = 0; i + 32 <= size; i += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i));
        c += size_t(__builtin_popcount(unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x, v)))));
    }
    return c;
}

__attribute__((target("avx2"))) size_t countUnitsAvx2(const char16_t *data, size_t size, char16_t value,
                                                      std::ptrdiff_t &last)
{
    size_t c = 0;
    const __m256i v = _mm256_set1_epi16(short(value));
    for (size_t i = 0; i + 16 <= size; i += 16) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i));
        const unsigned mask = unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi16(x, v)));
        if (mask) {
            c += size_t(__builtin_popcount(mask)) / 2;   // two mask bits a unit
            last = std::ptrdiff_t(i) + (31 - __builtin_clz(mask)) / 2;
        }
    }
    return c;
}
} // namespace
#endif

size_t count(const unsigned char *data, size_t size, unsigned char value)
{
    size_t n = 0;
    size_t i = 0;
#ifdef QUORVEL_HAVE_AVX2
    if (cpuHasAvx2()) {
        i = size & ~size_t(31);
        n = countAvx2(data, i, value);
    }
#endif
    for (; i < size; ++i)
        n += data[i] == value;
    return n;
}

std::ptrdiff_t find(const unsigned char *data, size_t size, unsigned char value)
{
    if (size == 0)
        return -1;
    const void *hit = std::memchr(data, value, size);
    return hit ? static_cast<const unsigned char *>(hit) - data : -1;
}

std::ptrdiff_t findLast(const unsigned char *data, size_t size, unsigned char value)
{
    if (size == 0)
        return -1;
#if defined(__GLIBC__)
    const void *hit = memrchr(data, value, size);
    return hit ? static_cast<const unsigned char *>(hit) - data : -1;
#else
    for (size_t i = size; i-- > 0;) {
        if (data[i] == value)
            return std::ptrdiff_t(i);
    }
    return -1;
#endif
}

bool containsAny(const unsigned char *data, size_t size, const ByteSet &set)
{
    for (size_t i = 0; i < size; ++i) {
        if (set[data[i]])
            return true;
    }
    return false;
}

size_t countUnits(const char16_t *data, size_t size, char16_t value, std::ptrdiff_t &last)
{
    last = -1;
    size_t n = 0;
    size_t i = 0;
#ifdef QUORVEL_HAVE_AVX2
    if (cpuHasAvx2()) {
        i = size & ~size_t(15);
        n = countUnitsAvx2(data, i, value, last);
    }
#endif
    for (; i < size; ++i) {
        if (data[i] == value) {
            ++n;
            last = std::ptrdiff_t(i);
        }
    }
    return n;
}

} // namespace bytescan
