#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio> // SEEK_SET, SEEK_CUR, SEEK_END

// Opening the files an archive search reads (volumes, the ".zip" retry) when nobody has said
// they are regular files: the open never blocks (a FIFO standing at the name would hold the
// search until someone writes to it) and anything but a regular file is refused.

// A read-only descriptor, or -1. `size` receives the file's size.
int openRegularFile(const char *path, int64_t &size);
// Reads up to `size` bytes; the count, 0 at the end, -1 on an error.
int64_t readRegularFile(int fd, void *buffer, size_t size);
// Moves forward by `step` bytes from the current offset; the new offset, or -1.
int64_t skipInRegularFile(int fd, int64_t step);
int64_t regularFileOffset(int fd);
// Moves to `offset` from SEEK_SET, SEEK_CUR or SEEK_END (<cstdio>); the new offset, or -1.
int64_t seekRegularFile(int fd, int64_t offset, int whence);
void closeRegularFile(int fd);
