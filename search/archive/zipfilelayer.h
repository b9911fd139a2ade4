#pragma once

#include <ioapi.h>

// minizip's file calls over a descriptor read at positions through two cached windows. minizip
// seeks before every header it reads, alternating between the central directory and each entry's
// local header; through stdio each of those seeks drops the buffer and costs a read of its own.
// Here the central directory is read in pieces and neighbouring local headers share one. The
// pieces are small (4 KB): a name search reads only the headers, and larger pieces copied most of
// the file to read them (src.zip of a JDK: 15,500 entries, 42 -> 39 ms); entry data of a piece's
// size or more is read straight into minizip's buffer.
// Only a regular file is opened, without blocking (regularfile.h); names are 8-bit.
void fillCachedZipFileLayer(zlib_filefunc64_def &files);
