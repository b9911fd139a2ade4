#pragma once

#include "content/bytepattern.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

// Stateful codecs whose printable ASCII characters only ever come from their own bytes, and
// which may make nothing of their switches: ISO 2022 of SO, SI and escape sequences (ESC and at
// most three bytes more), HZ of "~}" and "~\n", SCSU of its window switches and definitions
// (a character may also come quoted, or as a 0x00 and its byte in Unicode mode), TSCII of some
// bytes above 0x7f (or moves them past the next character). A text of such characters decodes
// from a file only where the file holds its bytes in order with nothing between them but
// switches ("thr\x1b(Bead" gives "thread"). UTF-7 likewise, of its base64 runs too short to make
// a unit ('+', at most two base64 characters and a '-'), on a line none of whose runs makes a
// character of the text (see segmentMayMakeCharacters). The tests prove it codec by codec.
enum class QuietGaps { None, Shifts, Tildes, Tags, Highs, Runs };

// The byte classes of the text if every character is printable ASCII under the case rule and no
// switch byte; else none: such a text may come from other bytes, and has no gate.
std::vector<ByteSet> quietGateClasses(const QString &text, Qt::CaseSensitivity cs, QuietGaps gaps);

// The bytes a switch starts with.
ByteSet quietGapLeads(QuietGaps gaps);

// A text's gate for one kind of switches: whether bytes hold its byte classes in order with at
// most switches between them. Bytes that do not cannot give the text.
class QuietGate
{
public:
    QuietGate(std::vector<ByteSet> classes, QuietGaps gaps);

    QuietGaps gaps() const { return gaps_; }
    const std::vector<ByteSet> &classes() const { return classes_; }
    // `more`: the bytes are a piece that others follow; an occurrence that runs off its end
    // counts as held.
    bool holds(const unsigned char *data, size_t size, bool more = false) const;
    // Appends every place an occurrence may start, in order: no decoded text holds the text's
    // first character from another byte. `more`: as for holds().
    void starts(const unsigned char *data, size_t size, bool more, std::vector<size_t> &out) const;
    // How many bytes from the start a decoder must have read to have made an occurrence's first
    // character: the character may seem to go on a switch until a switch's length more is read.
    size_t settledEnd(size_t start, size_t size) const { return std::min(size, start + 1 + longestSwitch_); }

private:
    std::array<signed char, 256> tails_;   // per byte: the most bytes after a switch it starts, or -1
    BytePattern start_;   // where an occurrence can start
    size_t longestSwitch_ = 0;
    std::vector<ByteSet> classes_;
    QuietGaps gaps_;
};
