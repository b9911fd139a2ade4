#pragma once

#include "content/passrunner.h"

// Passes whose lines end at one byte value (a line feed; 0x25 in EBCDIC). A plain line, one
// without trigger bytes, decodes byte by byte through the codec's table, so a candidate there
// is a match and its text comes from the table. A line with trigger bytes is decoded by the
// codec: under the Transparent policy only if it holds a candidate, under Segments always (it
// may make lines of its own) unless it provably can neither match nor make a line.
class LineRunner : public PassRunner
{
public:
    using PassRunner::PassRunner;
    void scanBlock(const PatternHits &found) override;
    void endChunk(bool last) override;

private:
    enum class Event { Trigger, Candidate, SpecialCandidate };
    void advanceTo(qint64 offset);
    int lineNo() const { return int(lineFeeds_ + 1 + extraLines_); }
    bool triggerBetween(qint64 from, qint64 to) const;
    qint64 lineEndInChunk(qint64 from) const;
    void onCandidate(qint64 at);
    void onSpecialCandidate(qint64 at);
    void onTrigger(qint64 at);
    void reportPlain();
    void decodeLine(bool stopWhenSettled, bool assumeMatch);
    // The decoder for the line at lineStart_. A codec decoder that last stopped right after a
    // line feed is in the state any line feed leaves, so it serves the next line as it is.
    std::unique_ptr<PieceDecoder> takeLineDecoder();
    void keepLineDecoder(std::unique_ptr<PieceDecoder> decoder, bool afterLineFeed);

    qint64 pos_ = 0;           // line feeds before this offset are counted
    qint64 lineFeeds_ = 0;
    qint64 extraLines_ = 0;    // lines decoding found beyond those the line feed bytes make
    qint64 lineStart_ = 0;     // start of the line holding pos_
    qint64 handledUntil_ = 0;  // bytes before this were read by decoding
    bool lineDone_ = false;    // the line holding pos_ needs no more looking at
    bool triggerBeforeChunk_ = false;   // the line holding pos_ has trigger bytes in earlier chunks
};
