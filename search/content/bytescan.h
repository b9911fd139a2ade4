#pragma once

#include "content/bytecategory.h"

#include <cstddef>

// Byte searches the content search repeats often enough to want them fast.
namespace bytescan {
size_t count(const unsigned char *data, size_t size, unsigned char value);
// Offsets of the first and last `value`, or -1.
std::ptrdiff_t find(const unsigned char *data, size_t size, unsigned char value);
std::ptrdiff_t findLast(const unsigned char *data, size_t size, unsigned char value);
bool containsAny(const unsigned char *data, size_t size, const ByteSet &set);
// How often the 16-bit unit `value` occurs among `size` units, and where it last does (or -1):
// decoded text is counted for its line feeds.
size_t countUnits(const char16_t *data, size_t size, char16_t value, std::ptrdiff_t &last);
} // namespace bytescan
