#pragma once

#include <QtGlobal>

#include <functional>
#include <vector>

class ByteSource;
class FileBytes;
class PassRunner;
class ReadBuffer;
struct ContentChunking;
struct Schedule;

// The lists a scan fills for every block, kept by the search: most files are small, and their
// lists would be made and freed again.
struct ChunkScratch
{
    std::vector<std::vector<qint64>> found;   // per pattern of the schedule
    std::vector<size_t> offsets;
};

// Reads a file once, chunk by chunk (the first chunk may be in `buffer` already), finds in each
// block the occurrences of every pattern the runners look for, and hands them to the runners.
// Consecutive chunks overlap by the longest pattern, so that no occurrence is lost between them.
// The stop request is tested after every block; returns false if the search was stopped.
// `afterChunk` is called when the runners have ended a chunk (but the last).
bool scanChunks(FileBytes &file, ReadBuffer &buffer, ChunkScratch &scratch, bool firstChunkInBuffer,
                const ContentChunking &chunking, const Schedule &schedule, const std::vector<PassRunner *> &runners,
                ByteSource &source, const std::function<void()> &afterChunk = nullptr);
