#pragma once

#include "content/contentplan.h"
#include "content/piecedecoder.h"

#include <QString>

#include <functional>
#include <unordered_map>
#include <vector>

class ByteSource;
class LineCollector;

// One line a pass found: its number and the text the hit shows.
struct PassHit
{
    int lineNo;
    QString text;
};

// Deep search: which pass found a line number first, so that a later pass need not prepare a
// hit that will not be reported.
using HitClaims = std::unordered_map<int, int>;

// The occurrences of each pattern of a schedule in one block: file offsets of their starts,
// increasing; every occurrence ends inside the block.
using PatternHits = std::vector<std::vector<qint64>>;

// What the passes over one file share: its bytes, the search's spare decoders, the size of
// the pieces a decode takes at a time, and what the file's quiet gates came to (-1 not looked
// at yet, 0 closed, 1 open; see ContentPlan::quietGate).
struct PassShared
{
    ByteSource &source;
    SpareDecoders &spares;
    qint64 pieceBytes;
    std::vector<signed char> &quietGates;
};

// Runs one pass of a schedule over a file the driver hands over chunk by chunk.
class PassRunner
{
public:
    PassRunner(ContentPlan &plan, const Schedule &schedule, const PassRun &run, const PassShared &shared);
    virtual ~PassRunner() = default;

    // The chunk in the source now holds new bytes from `ownedStart` on.
    virtual void beginChunk(qint64 ownedStart) { ownedStart_ = ownedStart; }
    virtual void scanBlock(const PatternHits &) {}
    // `last`: no chunk follows, so nothing needs to be carried over.
    virtual void endChunk(bool /*last*/) {}
    // After the last chunk (or instead of chunks, for a pass that reads the file itself).
    virtual void finish() {}

    const PassRun &run() const { return run_; }
    // The file cannot give the text through the pass's quiet gate, so the pass has no hit
    // (UTF-7's gate holds only line by line: see segmentMayMakeCharacters).
    bool quietGateClosed();
    // Deep search: the runner's place among the file's passes, and the claims they share.
    void shareClaims(HitClaims *claims, int order)
    {
        claims_ = claims;
        order_ = order;
    }
    std::vector<PassHit> hits;
    bool aborted = false;

protected:
    struct Collected
    {
        qint64 end = -1;          // offset after the last byte read
        bool atEndByte = false;   // stopped after `endByte`
        bool stopped = false;     // stopped early: the line needed no more
    };
    // Feeds the bytes from `start` through `decoder` into `collector`: up to and including
    // the next `endByte` (if >= 0), or until `linesWanted` lines are complete (if > 0) or the
    // line is settled (`untilSettled`), or to `until` (if >= 0; the decoder is not finished
    // there), or to the end of the file.
    Collected collect(PieceDecoder &decoder, LineCollector &collector, qint64 start, int endByte,
                      int linesWanted, bool untilSettled, qint64 until = -1);
    // Deep search: an earlier pass has reported this line number already.
    bool claimedEarlier(int lineNo) const
    {
        if (!claims_)
            return false;
        const auto it = claims_->find(lineNo);
        return it != claims_->end() && it->second < order_;
    }
    bool quietGateHolds();
    // Every place the text may start through the pass's quiet gate, in order.
    std::vector<qint64> quietGateStarts();
    // Hands the file to `use(data, size, offset, more)`: at once when it is in memory, else piece
    // by piece (`more` while pieces follow), until `use` returns false. False when the search was
    // stopped between pieces.
    bool readPieces(const std::function<bool(const unsigned char *, size_t, qint64, bool)> &use);
    // A look that stopped inside its first line still reports that line.
    void completeFirstLine(LineCollector &collector);
    void addHit(int lineNo, const QString &prefix);

    ContentPlan &plan_;
    const Schedule &schedule_;
    const PassRun run_;
    const ContentPlan::Pass &pass_;
    ByteSource &source_;
    SpareDecoders &spares_;
    const qint64 pieceBytes_;
    std::vector<signed char> &quietGates_;
    qint64 ownedStart_ = 0;
    HitClaims *claims_ = nullptr;
    int order_ = 0;
};
