#pragma once

#include "content/bytecategory.h"
#include "content/quietgaps.h"

#include <QByteArray>

#include <array>
#include <mutex>
#include <vector>

class QTextCodec;

// What the content search needs to know of how a codec turns bytes into text. Built once per
// codec and process by probing the codec itself; the properties that probing cannot show are
// taken from the codec's name and proven by the tests.
struct CodecModel
{
    // Fixed-width Unicode: every 2 or 4 bytes are one unit of the text.
    enum class Units { None, Utf16, Utf32 };
    enum class Endian { Little, Big, FromMark };
    // How a file that holds trigger bytes is read.
    enum class Special {
        // Lines end at line feed bytes and every printable ASCII character of the text is its
        // own byte: only lines with a candidate need decoding.
        Transparent,
        // Lines end at line feed bytes, but a line with trigger bytes may decode to anything,
        // further lines included: such lines are always decoded.
        Segments,
        // Only decoding the whole file from its start tells its lines.
        Whole,
    };

    QTextCodec *codec = nullptr;
    QByteArray name;

    Units units = Units::None;
    Endian endian = Endian::Little;
    bool markless16BigEndian = false;   // FromMark codecs without a mark
    bool markless32BigEndian = false;

    // While a file holds no byte of `triggerCategories`, each byte decodes to table[byte].
    bool hasTable = false;
    std::array<char16_t, 256> table{};
    unsigned triggerCategories = 0;
    ByteSet triggers;
    int lineFeedByte = -1;   // the one byte that decodes to a line feed, if the table has one

    Special special = Special::Whole;
    bool hzEscapes = false;   // segments only while the file has neither "~{" nor "~\n"
    bool base64Runs = false;  // UTF-7: '+' opens a run of base64 characters
    bool bocuGate = false;    // differences after a character are fixed bytes (see needle plan)
    QuietGaps quietGaps = QuietGaps::None;   // what the codec's switches are (see quietgaps.h)
    bool qtUtf8 = false;      // Qt's own UTF-8 decoder: fed only whole sequences

    bool isTableCodec() const { return hasTable && triggerCategories == 0; }
    // ASCII text stored in this codec comes back unchanged through the display codec. Only
    // deep search asks (prepareCodecModels answers it ahead), so it is found on first ask.
    bool displaysAscii() const;

private:
    mutable std::once_flag displayChecked_;
    mutable bool displaysAscii_ = false;
};

// The model of `codec`; thread-safe, built on first use.
const CodecModel &codecModel(QTextCodec *codec);

// Builds the models of `codecs` not built yet, with their display check, leaving those another
// thread is building to it: threads that prepare the same codecs at once share the work.
void prepareCodecModels(const std::vector<QTextCodec *> &codecs);

// Segment codecs: whether a line with trigger bytes holds a structure that may make one of
// `units` (sorted; a search passes its text's characters and the line feed): a UTF-7 base64 run
// with such a 16-bit unit. A line without one decodes to one line whose characters of the text
// that are printable ASCII, trigger bytes aside, are its own bytes.
bool segmentMayMakeCharacters(const CodecModel &model, const unsigned char *data, size_t size,
                              const std::vector<char16_t> &units);
