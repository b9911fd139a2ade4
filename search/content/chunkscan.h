#pragma once

#include <QtGlobal>

#include <vector>

class ByteSource;
class FileBytes;
class PassRunner;
class ReadBuffer;
struct ContentChunking;
struct Schedule;

// Reads a file once, chunk by chunk (the first chunk may be in `buffer` already), finds in each
// block the occurrences of every pattern the runners look for, and hands them to the runners.
// Consecutive chunks overlap by the longest pattern, so that no occurrence is lost between them.
// Returns false if the search was stopped.
bool scanChunks(FileBytes &file, ReadBuffer &buffer, bool firstChunkInBuffer, const ContentChunking &chunking,
                const Schedule &schedule, const std::vector<PassRunner *> &runners, ByteSource &source);
