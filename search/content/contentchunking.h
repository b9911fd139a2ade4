#pragma once

#include <QtGlobal>

#include <algorithm>

// The content search reads a file in chunks of `chunkBytes` (a multiple of 4), looks for
// candidates in blocks of `blockBytes` and decodes in pieces of `pieceBytes`. Tests shrink
// them to reach every boundary case.
struct ContentChunking
{
    // Small enough to stay in a core's cache while its blocks are scanned, and to fault in few
    // pages per worker.
    qint64 chunkBytes = 256 * 1024;
    qint64 blockBytes = 64 * 1024;
    qint64 pieceBytes = 256 * 1024;
    // A file whose every byte must be seen before its scan (deep search asks which kinds of
    // bytes it holds) is read into memory once when it has at most this many chunks, rather
    // than read twice.
    qint64 heldChunks = 16;

    // The same sizes made usable: a chunk of whole units of four bytes, no size below one.
    ContentChunking usable() const
    {
        return ContentChunking{std::max<qint64>(4, chunkBytes / 4 * 4), std::max<qint64>(1, blockBytes),
                               std::max<qint64>(1, pieceBytes), std::max<qint64>(1, heldChunks)};
    }
};
