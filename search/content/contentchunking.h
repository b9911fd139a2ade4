#pragma once

#include <QtGlobal>

// The content search reads a file in chunks of this many bytes (a multiple of 4), looks for
// candidates in blocks of `blockBytes` and decodes in pieces of `pieceBytes`. Tests shrink
// them to reach every boundary case.
struct ContentChunking
{
    qint64 chunkBytes = 4 * 1024 * 1024;
    qint64 blockBytes = 64 * 1024;
    qint64 pieceBytes = 256 * 1024;
};

ContentChunking contentChunking();
void setContentChunkingForTesting(const ContentChunking &chunking);
