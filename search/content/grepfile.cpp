#include "content/grepfile.h"

#include "content/chunkscan.h"
#include "content/contentchunking.h"
#include "content/contentplan.h"
#include "content/filebytes.h"
#include "content/linerunner.h"
#include "content/unitrunner.h"
#include "content/wholerunner.h"
#include "content/readbuffer.h"
#include "walk/searchoptions.h"
#include "walk/stoprequest.h"

#include <QSet>

#include <atomic>

namespace {

std::atomic<qint64> chunkBytesSetting{ContentChunking().chunkBytes};
std::atomic<qint64> blockBytesSetting{ContentChunking().blockBytes};
std::atomic<qint64> pieceBytesSetting{ContentChunking().pieceBytes};

std::unique_ptr<PassRunner> makeRunner(ContentPlan &plan, const Schedule &schedule, const PassRun &run,
                                       ByteSource &source)
{
    switch (run.kind) {
    case PassRun::Kind::Lines: return std::make_unique<LineRunner>(plan, schedule, run, source);
    case PassRun::Kind::Units: return std::make_unique<UnitRunner>(plan, schedule, run, source);
    case PassRun::Kind::Whole: break;
    }
    return std::make_unique<WholeRunner>(plan, schedule, run, source);
}

} // namespace

ContentChunking contentChunking()
{
    ContentChunking c;
    c.chunkBytes = chunkBytesSetting.load();
    c.blockBytes = blockBytesSetting.load();
    c.pieceBytes = pieceBytesSetting.load();
    return c;
}

void setContentChunkingForTesting(const ContentChunking &chunking)
{
    chunkBytesSetting.store(std::max<qint64>(4, chunking.chunkBytes / 4 * 4));
    blockBytesSetting.store(std::max<qint64>(1, chunking.blockBytes));
    pieceBytesSetting.store(std::max<qint64>(1, chunking.pieceBytes));
}

// Reads the file once (in chunks, if it is large) and runs every codec pass that can add a hit
// over the bytes in memory; passes that must decode the whole file read it themselves.
void grepFile(const TSearchOptions *options, const QString &path, QList<TFileInfo> &hits,
              const QString &displayName)
{
    if (!options || searchStopRequested())
        return;
    FileBytes file;
    if (!file.open(path))
        return;   // a directory, a missing or unreadable file (or a pipe, a device): no hit
    std::shared_ptr<ContentPlan> plan = ContentPlan::forOptions(*options);
    const ContentChunking chunking = contentChunking();

    thread_local ReadBuffer buffer;
    const qint64 firstLength = std::min(file.size(), chunking.chunkBytes);
    buffer.reserve(size_t(firstLength));
    const qint64 firstGot = file.readAt(0, buffer.data(), firstLength);
    if (firstGot < firstLength)
        file.limitSize(firstGot);
    const bool wholeInBuffer = file.size() <= chunking.chunkBytes;

    FileFacts facts;
    facts.mark = FileFacts::markOf(buffer.data(), size_t(firstGot));
    bool firstChunkInBuffer = true;
    if (plan->needsCategories(facts.mark)) {
        if (wholeInBuffer) {
            facts.learnFrom(buffer.data(), size_t(firstGot), plan->needsHzCheck());
        } else {
            if (!facts.learnFrom(file, buffer, chunking.chunkBytes, plan->needsHzCheck()))
                return;
            firstChunkInBuffer = false;
        }
    }
    const Schedule &schedule = plan->schedule(facts);
    if (schedule.runs.empty())
        return;

    ByteSource source(file);
    HitClaims claims;
    std::vector<std::unique_ptr<PassRunner>> runners;
    std::vector<PassRunner *> chunkRunners;
    for (const PassRun &run : schedule.runs) {
        runners.push_back(makeRunner(*plan, schedule, run, source));
        if (plan->deep())
            runners.back()->shareClaims(&claims, int(runners.size()));
        if (run.kind != PassRun::Kind::Whole)
            chunkRunners.push_back(runners.back().get());
    }
    if (!chunkRunners.empty()
        && !scanChunks(file, buffer, firstChunkInBuffer, chunking, schedule, chunkRunners, source))
        return;
    // Whole-file passes read from memory when the file fits one chunk, else from the file.
    if (wholeInBuffer)
        source.setChunk(buffer.data(), 0, file.size());
    else
        source.setChunk(nullptr, 0, 0);
    for (auto &runner : runners) {
        runner->finish();
        if (runner->aborted)
            return;
    }

    // Pass by pass, in order; a line number an earlier pass reported is not reported again.
    QSet<int> reported;
    for (auto &runner : runners) {
        for (const PassHit &hit : runner->hits) {
            if (plan->deep()) {
                if (reported.contains(hit.lineNo))
                    continue;
                reported.insert(hit.lineNo);
            }
            hits.append(TFileInfo{displayName, hit.lineNo, hit.text});
        }
    }
}
