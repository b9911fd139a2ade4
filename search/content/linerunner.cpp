#include "content/linerunner.h"

#include "content/bytescan.h"
#include "content/codecmodel.h"
#include "content/filebytes.h"
#include "content/linecollector.h"
#include "content/piecedecoder.h"

void LineRunner::advanceTo(qint64 offset)
{
    if (offset <= pos_)
        return;
    const unsigned char *data = source_.at(pos_);
    const size_t n = size_t(offset - pos_);
    const size_t feeds = bytescan::count(data, n, run_.lineFeed);
    if (feeds) {
        lineFeeds_ += qint64(feeds);
        lineStart_ = pos_ + bytescan::findLast(data, n, run_.lineFeed) + 1;
        lineDone_ = false;
        triggerBeforeChunk_ = false;
    }
    pos_ = offset;
}

bool LineRunner::triggerBetween(qint64 from, qint64 to) const
{
    if (from < ownedStart_) {
        if (triggerBeforeChunk_)
            return true;
        from = ownedStart_;
    }
    if (to <= from)
        return false;
    return (bytecategory::present(source_.at(from), size_t(to - from)) & pass_.model->triggerCategories) != 0;
}

qint64 LineRunner::lineEndInChunk(qint64 from) const
{
    const std::ptrdiff_t at = bytescan::find(source_.at(from), size_t(source_.chunkEnd() - from), run_.lineFeed);
    return at < 0 ? -1 : from + at;
}

std::unique_ptr<PieceDecoder> LineRunner::takeLineDecoder()
{
    if (run_.policy == PassRun::Policy::Table)
        return std::make_unique<TablePieceDecoder>(pass_.model->table);
    if (lineStart_ > 0)
        return spares_.afterLineFeed(pass_.codec, pass_.model->qtUtf8);
    return std::make_unique<CodecPieceDecoder>(pass_.codec, pass_.model->qtUtf8, false);
}

void LineRunner::keepLineDecoder(std::unique_ptr<PieceDecoder> decoder, bool afterLineFeed)
{
    if (afterLineFeed && run_.policy != PassRun::Policy::Table)
        spares_.recycle(std::move(decoder));
}

void LineRunner::scanBlock(const PatternHits &found)
{
    static const std::vector<qint64> none;
    const std::vector<qint64> &candidates = run_.pattern >= 0 ? found[size_t(run_.pattern)] : none;
    const std::vector<qint64> &special =
        run_.policy == PassRun::Policy::Transparent && run_.specialPattern != run_.pattern
            ? found[size_t(run_.specialPattern)] : none;
    const std::vector<qint64> &triggers =
        run_.policy == PassRun::Policy::Segments ? found[size_t(run_.triggerPattern)] : none;

    size_t c = 0, s = 0, t = 0;
    while (!aborted) {
        qint64 at = -1;
        Event event = Event::Trigger;
        if (t < triggers.size()) {
            at = triggers[t];
            event = Event::Trigger;
        }
        if (c < candidates.size() && (at < 0 || candidates[c] < at)) {
            at = candidates[c];
            event = Event::Candidate;
        }
        if (s < special.size() && (at < 0 || special[s] < at)) {
            at = special[s];
            event = Event::SpecialCandidate;
        }
        if (at < 0)
            break;
        switch (event) {
        case Event::Trigger: ++t; break;
        case Event::Candidate: ++c; break;
        case Event::SpecialCandidate: ++s; break;
        }
        if (at < handledUntil_)
            continue;
        advanceTo(at);   // an occurrence that began before `pos_` holds no line feed: same line
        switch (event) {
        case Event::Trigger:
            onTrigger(at);
            break;
        case Event::Candidate:
            if (!lineDone_)
                onCandidate(at);
            break;
        case Event::SpecialCandidate:
            if (!lineDone_)
                onSpecialCandidate(at);
            break;
        }
    }
}

void LineRunner::onCandidate(qint64 at)
{
    // An exact pattern spans the whole match, so the match ends inside the chunk.
    const qint64 length = qint64(pass_.needle.text.size());
    if (run_.exactPlain && !(run_.policy != PassRun::Policy::Table && triggerBetween(lineStart_, at + length))) {
        reportPlain();
        lineDone_ = true;
        return;
    }
    decodeLine(run_.policy != PassRun::Policy::Segments, false);
}

void LineRunner::onTrigger(qint64 at)
{
    // A line with no structure that makes a line feed or a character of the text (a UTF-7 run)
    // that lacks a character of the text (or, with quiet switches, the text's bytes with at
    // most switches between) gives one line and no hit: no need to decode it.
    if (lineStart_ >= source_.chunkOffset()) {
        qint64 end = lineEndInChunk(at);
        if (end < 0 && source_.chunkEnd() == source_.size())
            end = source_.size();
        if (end >= 0) {
            const unsigned char *line = source_.at(lineStart_);
            const size_t length = size_t(end - lineStart_);
            const ByteSet &required = pass_.needle.segmentRequired;
            if (!segmentMayMakeCharacters(*pass_.model, line, length, pass_.needle.segmentUnits)
                && (lineDone_ || (required.any() && !bytescan::containsAny(line, length, required))
                    || (pass_.quietGate >= 0 && !plan_.quietGate(pass_.quietGate).holds(line, length)))) {
                lineDone_ = true;
                handledUntil_ = end;   // its other trigger bytes need no look either
                return;
            }
        }
    }
    decodeLine(false, false);
}

void LineRunner::onSpecialCandidate(qint64 at)
{
    bool special = run_.specialIsTrigger;
    if (!special) {
        const qint64 end = lineEndInChunk(at);
        const bool lineGoesOn = end < 0 && source_.chunkEnd() < source_.size();
        special = lineGoesOn || triggerBetween(lineStart_, end < 0 ? source_.chunkEnd() : end);
    }
    if (special)
        decodeLine(true, false);
}

void LineRunner::reportPlain()
{
    if (claimedEarlier(lineNo()))
        return;
    const qint64 limit = LineCollector::kLinePrefix;
    qint64 got = 0;
    const unsigned char *data = source_.read(lineStart_, limit + 1, &got);
    const std::ptrdiff_t feed = bytescan::find(data, size_t(got), run_.lineFeed);
    const qint64 lineLength = feed >= 0 ? qint64(feed) : got;
    const qint64 shown = std::min(lineLength, limit);
    if (run_.policy != PassRun::Policy::Table
        && (bytecategory::present(data, size_t(shown)) & pass_.model->triggerCategories)) {
        // The match itself is plain, but the line's text needs its codec.
        auto decoder = takeLineDecoder();
        LineCollector collector(pass_.needle.text, pass_.needle.cs, lineNo(),
                                [this](int n, const QString &prefix) { addHit(n, prefix); });
        collector.assumeMatch();
        collector.stopAfterFirstLine();
        collect(*decoder, collector, lineStart_, -1, 1, true);
        completeFirstLine(collector);
        return;
    }
    QString prefix(shown, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(prefix.data());
    for (qint64 i = 0; i < shown; ++i)
        out[i] = pass_.model->table[data[i]];
    if (lineLength <= limit && prefix.endsWith(QLatin1Char('\r')))
        prefix.chop(1);
    addHit(lineNo(), prefix);
}

void LineRunner::decodeLine(bool stopWhenSettled, bool assumeMatch)
{
    auto decoder = takeLineDecoder();
    LineCollector collector(pass_.needle.text, pass_.needle.cs, lineNo(),
                            [this](int n, const QString &prefix) { addHit(n, prefix); });
    if (lineDone_)
        collector.suppressThrough(lineNo());
    if (assumeMatch)
        collector.assumeMatch();
    const Collected done = collect(*decoder, collector, lineStart_, run_.lineFeed, 0, stopWhenSettled);
    if (aborted)
        return;
    keepLineDecoder(std::move(decoder), done.atEndByte);
    if (done.stopped) {
        completeFirstLine(collector);   // settled: matched, and its text is known
        lineDone_ = true;
        return;
    }
    if (!done.atEndByte) {
        collector.finish(false);   // the last line of the file
        lineDone_ = true;
        handledUntil_ = pos_ = std::max(pos_, done.end);
        return;
    }
    handledUntil_ = pos_ = done.end;
    lineFeeds_ += 1;
    extraLines_ += collector.linesCompleted() - 1;
    lineStart_ = done.end;
    lineDone_ = false;
    triggerBeforeChunk_ = false;
}

void LineRunner::endChunk(bool last)
{
    if (last)
        return;
    const qint64 end = source_.chunkEnd();
    if (pos_ < end)
        advanceTo(end);
    if (run_.policy != PassRun::Policy::Table && !triggerBeforeChunk_ && lineStart_ < end) {
        const qint64 from = std::max(lineStart_, ownedStart_);
        triggerBeforeChunk_ = triggerBetween(from, end);
    }
}
