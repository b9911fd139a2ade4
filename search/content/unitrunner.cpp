#include "content/unitrunner.h"

#include "content/filebytes.h"
#include "content/linecollector.h"
#include "content/piecedecoder.h"

UnitRunner::UnitRunner(ContentPlan &plan, const Schedule &schedule, const PassRun &run, const PassShared &shared)
    : PassRunner(plan, schedule, run, shared)
    , pos_(std::min<qint64>(run.markLength, shared.source.size()))
    , lineStart_(pos_)
{
}

void UnitRunner::advanceTo(qint64 offset)
{
    const int width = run_.unitWidth;
    qint64 feeds = 0, lastFeed = -1;
    for (qint64 at = pos_; at + width <= offset; at += width) {
        if (readUnit(source_.at(at), width, run_.bigEndian) == u'\n') {
            ++feeds;
            lastFeed = at;
        }
    }
    if (feeds) {
        lineFeeds_ += feeds;
        lineStart_ = lastFeed + width;
        lineDone_ = false;
    }
    pos_ = std::max(pos_, offset);
}

void UnitRunner::scanBlock(const PatternHits &found)
{
    const int width = run_.unitWidth;
    for (const qint64 at : found[size_t(run_.pattern)]) {
        if (aborted)
            return;
        if (at < run_.markLength || (at - run_.markLength) % width != 0
            || !pass_.needle.unitMatchesAt(source_.at(at), width, run_.bigEndian))
            continue;
        if (at > pos_)
            advanceTo(at);
        if (lineDone_)
            continue;
        lineDone_ = true;
        if (claimedEarlier(int(lineFeeds_ + 1)))
            continue;
        UnitPieceDecoder decoder(width, run_.bigEndian);
        LineCollector collector(pass_.needle.text, pass_.needle.cs, int(lineFeeds_ + 1),
                                [this](int n, const QString &prefix) { addHit(n, prefix); });
        if (!pass_.needle.endsWithReturn && !pass_.needle.patternCut)
            collector.assumeMatch();
        collector.stopAfterFirstLine();
        collect(decoder, collector, lineStart_, -1, 1, true);
        completeFirstLine(collector);
    }
}

void UnitRunner::endChunk(bool last)
{
    if (last)
        return;
    const qint64 end = source_.chunkEnd();
    if (pos_ < end)
        advanceTo(pos_ + (end - pos_) / run_.unitWidth * run_.unitWidth);
}
