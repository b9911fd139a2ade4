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
    const qint64 size = source_.size();
    // ISO 2022 and HZ make no more units than bytes, so a file decodes in pieces as it does at
    // once, and no occurrence of the text starts in the units decoded after the place its quiet
    // gate last starts at (once its switch is settled). Past the line that holds that place there
    // is no hit: the rest (slow to decode, as stateful codecs are) would only be counted into lines.
    qint64 until = size;
    const QuietGaps gaps = pass_.model->quietGaps;
    if (pass_.quietGate >= 0 && (gaps == QuietGaps::Shifts || gaps == QuietGaps::Tildes)) {
        const std::vector<qint64> starts = quietGateStarts();
        if (starts.empty() || aborted)
            return;
        until = qint64(plan_.quietGate(pass_.quietGate).settledEnd(size_t(starts.back()), size_t(size)));
    }
    LineCollector collector(pass_.needle.text, pass_.needle.cs, 1,
                            [this](int n, const QString &prefix) { addHit(n, prefix); });
    if (!run_.unitWidth && source_.inChunk(0, size) && size <= std::numeric_limits<int>::max()) {
        // A file in memory is decoded in one call: some codecs (SCSU, BOCU-1) can make more
        // units than bytes, and what does not fit Qt's buffer at the end of a call is left in
        // the converter, so only one call gives what decoding the file at once gives.
        const char *data = reinterpret_cast<const char *>(source_.at(0));
        QTextCodec::ConverterState state;
        collector.feed(pass_.codec->toUnicode(data, int(until), &state));
        if (until < size)
            decodeToLineEnd(collector, state, until);
    } else {
        std::unique_ptr<PieceDecoder> decoder;
        qint64 start = 0;
        if (run_.unitWidth) {
            decoder = std::make_unique<UnitPieceDecoder>(run_.unitWidth, run_.bigEndian);
            start = std::min<qint64>(run_.markLength, size);
        } else {
            decoder = std::make_unique<CodecPieceDecoder>(pass_.codec, pass_.model->qtUtf8, false);
        }
        collect(*decoder, collector, start, -1, 0, false, until);
        if (until < size && !aborted)
            collect(*decoder, collector, until, -1, collector.linesCompleted() + 1, false);
    }
    if (!aborted)
        collector.finish(size > 0);
}

// The rest of a file in memory, up to the end of the line being decoded.
void WholeRunner::decodeToLineEnd(LineCollector &collector, QTextCodec::ConverterState &state, qint64 from)
{
    const char *data = reinterpret_cast<const char *>(source_.at(0));
    const qint64 size = source_.size();
    constexpr qint64 kPiece = 4096;
    for (qint64 fed = from; fed < size;) {
        const qint64 take = std::min(kPiece, size - fed);
        const QString text = pass_.codec->toUnicode(data + fed, int(take), &state);
        fed += take;
        const qsizetype lineFeed = text.indexOf(QLatin1Char('\n'));
        if (lineFeed >= 0) {
            collector.feed(QStringView(text).left(lineFeed + 1));
            return;
        }
        collector.feed(text);
    }
}
