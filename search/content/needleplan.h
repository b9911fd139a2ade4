#pragma once

#include "content/bytecategory.h"

#include <QString>

#include <vector>

struct CodecModel;

// The search text of one codec pass, prepared for matching on raw bytes.
struct NeedlePlan
{
    // The byte patterns stand for the first this many characters of the text at most: a longer
    // text costs no more to prepare, and decoding checks its candidates.
    static constexpr qsizetype kPatternChars = 64;

    QString text;
    bool patternCut = false;    // the text is longer than the patterns
    Qt::CaseSensitivity cs = Qt::CaseSensitive;
    bool hasLineFeed = false;   // a line never holds one: the pass cannot match
    bool hasSurrogate = false;
    bool endsWithReturn = false;

    // Codecs with a byte table: byte i of a match belongs to tableClasses[i]; trigger bytes are
    // left out (a line with one is decoded instead). Exact unless the text has surrogates or
    // is cut.
    std::vector<ByteSet> tableClasses;
    bool tableExact = false;

    // Codecs whose printable ASCII characters are their own bytes: the longest run of text
    // characters that are such characters under the case rule, as byte classes. Empty when
    // the text has none.
    std::vector<ByteSet> pureRun;

    // Codecs whose lines with trigger bytes keep their other ASCII bytes (see
    // segmentMayMakeCharacters): the bytes of the rarest text character that must then be
    // among a line's bytes for it to match. Empty if no character qualifies.
    ByteSet segmentRequired;
    // UTF-7: the units a base64 run must make for a line to need decoding (sorted): the text's
    // characters under the case rule, and the line feed.
    std::vector<char16_t> segmentUnits;

    // Fixed-width Unicode codecs: the units each text unit (of the patterns' part) matches.
    std::vector<std::vector<char16_t>> unitClasses;

    // BOCU-1: the bytes that the characters after the first must be encoded as (the longest
    // run of characters whose bytes are fixed).
    std::vector<ByteSet> bocuRun;

    static NeedlePlan build(const QString &text, Qt::CaseSensitivity cs, const CodecModel &model);
    // Byte classes of a unit match in UTF-16/UTF-32 of the given order. In UTF-32 the last
    // unit may also be the first half Qt makes of a value above 0xffff: its classes allow that.
    std::vector<ByteSet> unitPattern(int width, bool bigEndian) const;
    bool unitMatchesAt(const unsigned char *at, int width, bool bigEndian) const;
};
