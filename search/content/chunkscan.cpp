#include "content/chunkscan.h"

#include "content/contentchunking.h"
#include "content/contentplan.h"
#include "content/filebytes.h"
#include "content/passrunner.h"
#include "content/readbuffer.h"
#include "walk/stoprequest.h"

#include <algorithm>

bool scanChunks(FileBytes &file, ReadBuffer &buffer, ChunkScratch &scratch, bool firstChunkInBuffer,
                const ContentChunking &chunking, const Schedule &schedule, const std::vector<PassRunner *> &runners,
                ByteSource &source, const std::function<void()> &afterChunk)
{
    std::vector<int> patterns;
    size_t longest = 1;
    for (const PassRunner *runner : runners) {
        const PassRun &run = runner->run();
        for (const int p : {run.pattern, run.specialPattern, run.triggerPattern}) {
            if (p >= 0 && std::find(patterns.begin(), patterns.end(), p) == patterns.end()) {
                patterns.push_back(p);
                longest = std::max(longest, schedule.patterns[size_t(p)].length());
            }
        }
    }

    const qint64 chunk = chunking.chunkBytes;
    const qint64 overlap = (qint64(longest) - 1 + 3) / 4 * 4;   // whole units of four bytes
    const qint64 first = std::min(file.size(), chunk);
    buffer.reserve(size_t(first + overlap), firstChunkInBuffer ? size_t(first) : 0);
    if (!firstChunkInBuffer) {
        const qint64 got = file.readAt(0, buffer.data(), first);
        if (got < first)
            file.limitSize(got);
    }

    PatternHits &found = scratch.found;
    std::vector<size_t> &offsets = scratch.offsets;
    if (found.size() < schedule.patterns.size())
        found.resize(schedule.patterns.size());
    for (auto &list : found)
        list.clear();
    qint64 bufferStart = 0;
    qint64 owned = 0;
    for (;;) {
        const qint64 chunkEnd = std::min(owned + chunk, file.size());
        const unsigned char *data = buffer.data();
        const size_t length = size_t(chunkEnd - bufferStart);
        source.setChunk(data, bufferStart, qint64(length));
        for (PassRunner *runner : runners)
            runner->beginChunk(owned);
        for (qint64 block = owned; block < chunkEnd; block += chunking.blockBytes) {
            const qint64 blockEnd = std::min(block + chunking.blockBytes, chunkEnd);
            // The occurrences that end in this block.
            for (const int p : patterns) {
                const BytePattern &pattern = schedule.patterns[size_t(p)];
                const qint64 reach = qint64(pattern.length()) - 1;
                const qint64 from = std::max(block - reach, bufferStart) - bufferStart;
                const qint64 to = blockEnd - reach - bufferStart;
                auto &list = found[size_t(p)];
                list.clear();
                if (to <= from)
                    continue;
                offsets.clear();
                pattern.findAll(data, length, size_t(from), size_t(to), offsets);
                for (const size_t o : offsets)
                    list.push_back(qint64(o) + bufferStart);
            }
            for (PassRunner *runner : runners) {
                runner->scanBlock(found);
                if (runner->aborted)
                    return false;
            }
            // Every pass has looked at the block: on binary data a pass may have decoded all of it.
            if (searchStopRequested())
                return false;
        }
        const bool last = chunkEnd >= file.size();
        for (PassRunner *runner : runners)
            runner->endChunk(last);
        if (last)
            return true;
        if (afterChunk)
            afterChunk();
        const qint64 keep = std::min(overlap, chunkEnd);
        std::memmove(buffer.data(), buffer.data() + (chunkEnd - keep - bufferStart), size_t(keep));
        const qint64 want = std::min(chunk, file.size() - chunkEnd);
        const qint64 got = file.readAt(chunkEnd, buffer.data() + keep, want);
        if (got < want)
            file.limitSize(chunkEnd + std::max<qint64>(got, 0));
        bufferStart = chunkEnd - keep;
        owned = chunkEnd;
        if (got <= 0) {
            for (PassRunner *runner : runners)
                runner->endChunk(true);
            return true;
        }
    }
}
