#include "content/wholerunner.h"

#include "content/bytepattern.h"
#include "content/codecmodel.h"
#include "content/filebytes.h"
#include "content/linecollector.h"
#include "content/piecedecoder.h"
#include "walk/stoprequest.h"

#include <QTextCodec>

#include <limits>

bool WholeRunner::fileHoldsGate()
{
    const BytePattern &gate = schedule_.patterns[size_t(run_.gatePattern)];
    const qint64 size = source_.size();
    const qint64 overlap = qint64(gate.length()) - 1;
    std::vector<size_t> found;
    for (qint64 offset = 0; offset < size;) {
        qint64 got = 0;
        const unsigned char *data = source_.read(offset, std::min<qint64>(4 * 1024 * 1024, size - offset), &got);
        if (got <= 0)
            return false;
        gate.findAll(data, size_t(got), 0, size_t(got), found);
        if (!found.empty())
            return true;
        if (offset + got >= size)
            return false;
        if (searchStopRequested()) {
            aborted = true;
            return false;
        }
        offset += std::max<qint64>(1, got - overlap);
    }
    return false;
}

void WholeRunner::finish()
{
    if (run_.gatePattern >= 0 && !fileHoldsGate())
        return;
    std::unique_ptr<PieceDecoder> decoder;
    qint64 start = 0;
    if (run_.unitWidth) {
        decoder = std::make_unique<UnitPieceDecoder>(run_.unitWidth, run_.bigEndian);
        start = std::min<qint64>(run_.markLength, source_.size());
    } else {
        decoder = std::make_unique<CodecPieceDecoder>(pass_.codec, pass_.model->qtUtf8, false);
    }
    LineCollector collector(pass_.needle.text, pass_.needle.cs, 1,
                            [this](int n, const QString &prefix) { addHit(n, prefix); });
    const qint64 size = source_.size();
    if (!run_.unitWidth && source_.inChunk(0, size) && size <= std::numeric_limits<int>::max()) {
        // A file in memory is decoded in one call: some codecs (SCSU, BOCU-1) can make more
        // units than bytes, and what does not fit Qt's buffer at the end of a call is left in
        // the converter, so only one call gives what decoding the file at once gives.
        const QuietGaps gaps = pass_.model->quietGaps;
        if (pass_.quietGate >= 0 && (gaps == QuietGaps::Shifts || gaps == QuietGaps::Tildes)) {
            decodeThroughLastHit(collector);
        } else {
            QTextCodec::ConverterState state;
            collector.feed(pass_.codec->toUnicode(reinterpret_cast<const char *>(source_.at(0)), int(size), &state));
        }
    } else {
        collect(*decoder, collector, start, -1, false, false);
    }
    if (!aborted)
        collector.finish(size > 0);
}

// ISO 2022 and HZ make no more units than bytes, so a file decodes in pieces as it does at once,
// and no occurrence of the text starts in the units decoded after the place its gate last starts
// at (and its switch is settled). Past the line that holds that place there is no hit: the rest
// (slow to decode, as stateful codecs are) would only be counted into lines.
void WholeRunner::decodeThroughLastHit(LineCollector &collector)
{
    const QuietGate &gate = plan_.quietGate(pass_.quietGate);
    const size_t size = size_t(source_.size());
    const std::ptrdiff_t lastStart = gate.lastStart(source_.at(0), size);
    if (lastStart < 0)
        return;
    const char *data = reinterpret_cast<const char *>(source_.at(0));
    QTextCodec::ConverterState state;
    size_t fed = gate.settledEnd(size_t(lastStart), size);
    QString text = pass_.codec->toUnicode(data, int(fed), &state);
    collector.feed(text);
    // Every occurrence starts among these units: the next line feed ends the last line with one.
    bool lineEnded = false;
    constexpr size_t kPiece = 4096;
    while (fed < size && !lineEnded) {
        const size_t take = std::min(kPiece, size - fed);
        text = pass_.codec->toUnicode(data + fed, int(take), &state);
        fed += take;
        const qsizetype lineFeed = text.indexOf(QLatin1Char('\n'));
        lineEnded = lineFeed >= 0;
        collector.feed(lineEnded ? QStringView(text).left(lineFeed + 1) : QStringView(text));
    }
}
