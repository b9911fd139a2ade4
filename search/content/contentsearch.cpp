#include "content/contentsearch.h"

#include "content/contentplan.h"
#include "content/continuedlinerunner.h"
#include "content/filebytes.h"
#include "content/linerunner.h"
#include "content/unitrunner.h"
#include "content/wholerunner.h"
#include "walk/searchoptions.h"
#include "walk/stoprequest.h"

#include <QSet>

namespace {

std::unique_ptr<PassRunner> makeRunner(ContentPlan &plan, const Schedule &schedule, const PassRun &run,
                                       const PassShared &shared)
{
    switch (run.kind) {
    case PassRun::Kind::Lines: return std::make_unique<LineRunner>(plan, schedule, run, shared);
    case PassRun::Kind::Units: return std::make_unique<UnitRunner>(plan, schedule, run, shared);
    case PassRun::Kind::Whole: break;
    }
    if (run.continuedLines)
        return std::make_unique<ContinuedLineRunner>(plan, schedule, run, shared);
    return std::make_unique<WholeRunner>(plan, schedule, run, shared);
}

} // namespace

ContentSearch::ContentSearch(const TSearchOptions &options, const ContentChunking &chunking)
    : offerHits_(&options.offerHits)
    , plan_(std::make_unique<ContentPlan>(options.grepText, options.caseSensitivity, options.deepSearch,
                                          options.codecTexts))
    , chunking_(chunking.usable())
    , overlapRoom_(4 * qint64(options.grepText.size()) + 4)
{
}

ContentSearch::~ContentSearch() = default;

// Reads the file once (in chunks, if it is large) and runs every codec pass that can add a hit
// over the bytes in memory; passes that must decode the whole file read it themselves.
void ContentSearch::search(const QString &path, QList<TFileInfo> &hits, const QString &displayName)
{
    FileBytes file;
    // A directory, a missing or unreadable file (or a pipe, a device): no hit.
    if (!searchStopRequested() && file.open(path))
        searchOpenFile(file, hits, displayName);
}

#ifdef Q_OS_UNIX
void ContentSearch::searchAt(int dirFd, const QByteArray &name, QList<TFileInfo> &hits, const QString &displayName)
{
    FileBytes file;
    if (!searchStopRequested() && file.openAt(dirFd, name))
        searchOpenFile(file, hits, displayName);
}
#endif

void ContentSearch::searchMemory(const unsigned char *data, qint64 size, QList<TFileInfo> &hits,
                                 const QString &displayName)
{
    FileBytes bytes;
    bytes.openMemory(data, size);
    if (!searchStopRequested())
        searchOpenFile(bytes, hits, displayName);
}

// Reads the file past its first `got` bytes into the buffer, a chunk at a time: the bytes held,
// or -1 on a stop.
qint64 ContentSearch::readRest(FileBytes &file, qint64 got)
{
    buffer_.reserve(size_t(file.size() + overlapRoom_), size_t(got));
    while (got < file.size()) {
        if (searchStopRequested())
            return -1;
        const qint64 read = file.readAt(got, buffer_.data() + got, std::min(chunking_.chunkBytes, file.size() - got));
        if (read <= 0) {
            file.limitSize(got);   // the file ended early (cut while we read it)
            break;
        }
        got += read;
    }
    return got;
}

void ContentSearch::searchOpenFile(FileBytes &file, QList<TFileInfo> &hits, const QString &displayName)
{
    ContentPlan &plan = *plan_;

    // With room for the overlap of chunks too (a pattern takes at most 4 bytes per unit of the
    // text), so that the chunk scan does not grow the buffer again.
    buffer_.reserve(size_t(chunking_.chunkBytes + overlapRoom_));
    const qint64 firstGot = file.readFirst(buffer_.data(), chunking_.chunkBytes);
    if (firstGot < 0)
        return;
    bool wholeInBuffer = file.size() <= chunking_.chunkBytes;
    qint64 held = firstGot;

    FileFacts facts;
    facts.mark = FileFacts::markOf(buffer_.data(), size_t(firstGot));
    bool firstChunkInBuffer = true;
    ContentChunking chunking = chunking_;
    if (plan.needsCategories(facts.mark)) {
        if (!wholeInBuffer && file.size() <= chunking_.chunkBytes * chunking_.heldChunks) {
            held = readRest(file, firstGot);
            if (held < 0)
                return;
            // One chunk of whole units of four bytes, held already.
            chunking.chunkBytes = std::max(chunking.chunkBytes, (file.size() + 3) / 4 * 4);
            wholeInBuffer = true;
        }
        if (wholeInBuffer) {
            facts.learnFrom(buffer_.data(), size_t(held), plan.needsHzCheck());
        } else {
            if (!facts.learnFrom(file, buffer_, chunking_.chunkBytes, plan.needsHzCheck()))
                return;
            firstChunkInBuffer = false;
        }
    }
    const Schedule &schedule = plan.schedule(facts);
    if (schedule.runs.empty())
        return;

    ByteSource source(file);
    if (wholeInBuffer)
        source.setChunk(buffer_.data(), 0, file.size());
    quietGates_.assign(size_t(plan.quietGateCount()), -1);
    const PassShared shared{source, spares_, chunking_.pieceBytes, quietGates_};
    HitClaims claims;
    std::vector<std::unique_ptr<PassRunner>> runners;
    std::vector<PassRunner *> chunkRunners;
    for (const PassRun &run : schedule.runs) {
        auto runner = makeRunner(plan, schedule, run, shared);
        if (runner->quietGateClosed())
            continue;
        runners.push_back(std::move(runner));
        if (plan.deep())
            runners.back()->shareClaims(&claims, int(runners.size()));
        if (run.kind != PassRun::Kind::Whole)
            chunkRunners.push_back(runners.back().get());
    }
    // One pass reports its lines in order: they may leave chunk by chunk, so that a file with
    // very many hits is held in bounded memory (the walk sends them in batches).
    std::function<void()> handOut;
    if (runners.size() == 1 && chunkRunners.size() == 1 && *offerHits_) {
        handOut = [&] {
            for (const PassHit &hit : chunkRunners.front()->hits) {
                hits.append(TFileInfo{displayName, hit.lineNo, hit.text});
                (*offerHits_)(hits);
            }
            chunkRunners.front()->hits.clear();
        };
    }
    if (!chunkRunners.empty()
        && !scanChunks(file, buffer_, scratch_, firstChunkInBuffer, chunking, schedule, chunkRunners, source,
                       handOut))
        return;
    // Whole-file passes read from memory when the file fits one chunk, else from the file.
    if (wholeInBuffer)
        source.setChunk(buffer_.data(), 0, file.size());
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
            if (plan.deep()) {
                if (reported.contains(hit.lineNo))
                    continue;
                reported.insert(hit.lineNo);
            }
            hits.append(TFileInfo{displayName, hit.lineNo, hit.text});
            if (*offerHits_)
                (*offerHits_)(hits);   // a directory's hits leave in bounded batches
        }
    }
}
