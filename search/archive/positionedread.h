#pragma once

#include <cstddef>
#include <cstdint>

// Reads up to `size` bytes at `offset` of the open file `fd` without moving its file offset.
// Returns the number of bytes read (less only at the end of the file), or -1 on an error.
int64_t positionedRead(int fd, void *buffer, size_t size, int64_t offset);
