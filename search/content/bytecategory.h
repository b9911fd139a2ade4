#pragma once

#include <bitset>
#include <cstddef>

using ByteSet = std::bitset<256>;

// Classes of bytes whose presence decides how a file may be decoded by some codecs.
namespace bytecategory {
enum : unsigned {
    High = 1u << 0,      // 0x80..0xff
    Control = 1u << 1,   // 0x00..0x1f but tab, line feed and carriage return
    Shift = 1u << 2,     // SO, SI, ESC: the switches of the ISO 2022 codecs
    Plus = 1u << 3,      // '+': opens a base64 run in UTF-7
    Tilde = 1u << 4,     // '~': the escape of HZ
    Zero = 1u << 5,      // NUL: in every UTF-16/UTF-32 text with ASCII, rare in other text
    All = (1u << 6) - 1,
};
ByteSet bytesOf(unsigned categories);
// The categories of the bytes in [data, data + size).
unsigned present(const unsigned char *data, size_t size);
} // namespace bytecategory
