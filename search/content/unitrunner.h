#pragma once

#include "content/passrunner.h"

// UTF-16 and UTF-32 passes: lines end at a line-feed unit, units sit at offsets that are a
// multiple of their width after the byte-order mark, and a candidate whose units match is a
// match (the text has no surrogates; one that ends in a carriage return, or is longer than
// the patterns, is checked by decoding).
class UnitRunner : public PassRunner
{
public:
    UnitRunner(ContentPlan &plan, const Schedule &schedule, const PassRun &run, const PassShared &shared);
    void scanBlock(const PatternHits &found) override;
    void endChunk(bool last) override;

private:
    void advanceTo(qint64 offset);
    qint64 pos_;              // line-feed units before this offset are counted
    qint64 lineFeeds_ = 0;
    qint64 lineStart_;        // start of the line holding pos_
    bool lineDone_ = false;   // the line holding pos_ needs no more looking at
};
