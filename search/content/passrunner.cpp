#include "content/passrunner.h"

#include "content/bytescan.h"
#include "content/codecmodel.h"
#include "content/filebytes.h"
#include "content/linecollector.h"
#include "content/piecedecoder.h"
#include "walk/stoprequest.h"


namespace {
constexpr qint64 kStopCheckBytes = 1024 * 1024;   // a stop is seen within a few milliseconds
} // namespace

PassRunner::PassRunner(ContentPlan &plan, const Schedule &schedule, const PassRun &run, const PassShared &shared)
    : plan_(plan)
    , schedule_(schedule)
    , run_(run)
    , pass_(plan.pass(run.pass))
    , source_(shared.source)
    , spares_(shared.spares)
    , pieceBytes_(shared.pieceBytes)
    , quietGates_(shared.quietGates)
{
}

bool PassRunner::quietGateClosed()
{
    // Only passes that would decode (stateful codecs whole, segment codecs line by line) save
    // more than the gate costs; a byte table reports only what its candidates show.
    const bool decodes = run_.kind == PassRun::Kind::Whole
                         || (run_.kind == PassRun::Kind::Lines && run_.policy == PassRun::Policy::Segments);
    if (pass_.quietGate < 0 || pass_.model->base64Runs || !decodes)
        return false;
    signed char &open = quietGates_[size_t(pass_.quietGate)];
    if (open < 0)
        open = quietGateHolds() ? 1 : 0;
    return open == 0;
}

bool PassRunner::quietGateHolds()
{
    const QuietGate &gate = plan_.quietGate(pass_.quietGate);
    // An occurrence that runs off a piece counts. A stop lets the pass run: it sees the stop itself.
    bool holds = false;
    const bool read = readPieces([&](const unsigned char *data, size_t size, qint64, bool more) {
        holds = gate.holds(data, size, more);
        return !holds;
    });
    return holds || !read;
}

std::vector<qint64> PassRunner::quietGateStarts()
{
    const QuietGate &gate = plan_.quietGate(pass_.quietGate);
    std::vector<qint64> starts;
    std::vector<size_t> found;
    // An occurrence that runs off a piece counts.
    const bool read = readPieces([&](const unsigned char *data, size_t size, qint64 offset, bool more) {
        found.clear();
        gate.starts(data, size, more, found);
        for (const size_t start : found)
            starts.push_back(offset + qint64(start));
        return true;
    });
    if (!read)
        aborted = true;
    return starts;
}

bool PassRunner::readPieces(const std::function<bool(const unsigned char *, size_t, qint64, bool)> &use)
{
    const qint64 size = source_.size();
    const qint64 piece = source_.inChunk(0, size) ? size : pieceBytes_;
    for (qint64 offset = 0; offset < size;) {
        qint64 got = 0;
        const unsigned char *data = source_.read(offset, std::min(piece, size - offset), &got);
        if (got <= 0 || !use(data, size_t(got), offset, offset + got < size))
            return true;
        offset += got;
        if (offset < size && searchStopRequested())
            return false;
    }
    return true;
}

void PassRunner::completeFirstLine(LineCollector &collector)
{
    if (!aborted && collector.linesCompleted() == 0)
        collector.finish(false);
}

void PassRunner::addHit(int lineNo, const QString &prefix)
{
    if (claims_) {
        const auto claim = claims_->emplace(lineNo, order_);
        if (!claim.second) {
            if (claim.first->second < order_)
                return;   // an earlier pass has the line
            claim.first->second = order_;
        }
    }
    hits.push_back(PassHit{lineNo, plan_.hitText(run_.pass, prefix)});
}

PassRunner::Collected PassRunner::collect(PieceDecoder &decoder, LineCollector &collector, qint64 start,
                                          int endByte, int linesWanted, bool untilSettled, qint64 until)
{
    Collected result;
    const qint64 fileSize = source_.size();
    const qint64 size = until >= 0 ? std::min(until, fileSize) : fileSize;
    qint64 offset = start;
    qint64 sinceCheck = 0;
    const qint64 piece = pieceBytes_;
    QString text;
    while (offset < size) {
        qint64 got = 0;
        const unsigned char *data = source_.read(offset, std::min(piece, size - offset), &got);
        if (got <= 0)
            break;
        qint64 take = got;
        if (endByte >= 0) {
            const std::ptrdiff_t at = bytescan::find(data, size_t(got), uchar(endByte));
            if (at >= 0) {
                take = at + 1;
                result.atEndByte = true;
            }
        }
        text.clear();
        decoder.decode(data, size_t(take), text);
        collector.feed(text);
        offset += take;
        if (result.atEndByte)
            break;
        if ((linesWanted > 0 && collector.linesCompleted() >= linesWanted) || (untilSettled && collector.lineSettled())) {
            result.stopped = true;
            break;
        }
        sinceCheck += take;
        if (offset >= fileSize) {
            text.clear();
            decoder.finish(text);
            collector.feed(text);
            break;
        }
        if (sinceCheck >= kStopCheckBytes) {
            sinceCheck = 0;
            if (searchStopRequested()) {
                aborted = true;
                result.stopped = true;
                break;
            }
        }
    }
    result.end = offset;
    return result;
}
