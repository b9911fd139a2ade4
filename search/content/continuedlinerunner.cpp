#include "content/continuedlinerunner.h"

#include "content/bytescan.h"
#include "content/codecmodel.h"
#include "content/filebytes.h"
#include "content/linecollector.h"
#include "content/piecedecoder.h"
#include "walk/stoprequest.h"

namespace {

// How many tildes end data[from, to).
size_t tildesBefore(const unsigned char *data, size_t from, size_t to)
{
    size_t run = 0;
    while (run < to - from && data[to - 1 - run] == '~')
        ++run;
    return run;
}

} // namespace

void ContinuedLineRunner::finish()
{
    if (aborted)
        return;
    // One read of the file finds the places the text may start (piece by piece, as the gate
    // reads them) and the lines that hold them; those lines are decoded after.
    struct Line
    {
        qint64 start, end;
        int number;
    };
    std::vector<Line> lines;
    const QuietGate &gate = plan_.quietGate(pass_.quietGate);
    std::vector<size_t> starts;   // in the piece being read
    bool startInLine = false;     // the line being read holds a start
    int lineNo = 1;
    qint64 lineStart = 0;
    size_t tildes = 0;            // the tildes that end the bytes before the piece, back to a line feed
    const bool read = readPieces([&](const unsigned char *data, size_t got, qint64 offset, bool more) {
        starts.clear();
        gate.starts(data, got, more, starts);
        size_t next = 0;
        size_t from = 0;
        for (;;) {
            const std::ptrdiff_t feed = bytescan::find(data + from, got - from, '\n');
            if (feed < 0)
                break;
            const size_t at = from + size_t(feed);
            size_t run = tildesBefore(data, from, at);
            if (run == at - from)
                run += tildes;
            tildes = 0;
            from = at + 1;
            if (run % 2 == 1)
                continue;   // "~\n": the line goes on
            for (; next < starts.size() && starts[next] <= at; ++next)
                startInLine = true;
            const qint64 end = offset + qint64(at) + 1;
            if (startInLine)
                lines.push_back(Line{lineStart, end, lineNo});
            startInLine = false;
            ++lineNo;
            lineStart = end;
        }
        startInLine = startInLine || next < starts.size();
        const size_t run = tildesBefore(data, from, got);
        tildes = run == got - from ? tildes + run : run;
        return true;
    });
    if (!read) {
        aborted = true;
        return;
    }
    const qint64 size = source_.size();
    if (startInLine && lineStart < size)
        lines.push_back(Line{lineStart, size, lineNo});   // the last line, without a line feed
    for (const Line &line : lines) {
        decodeLine(line.start, line.end, line.number);
        if (aborted)
            return;
    }
}

void ContinuedLineRunner::decodeLine(qint64 start, qint64 end, int lineNo)
{
    LineCollector collector(pass_.needle.text, pass_.needle.cs, lineNo,
                            [this](int n, const QString &prefix) { addHit(n, prefix); });
    CodecPieceDecoder decoder(pass_.codec, pass_.model->qtUtf8, start > 0);
    collect(decoder, collector, start, -1, 0, false, end);
    if (!aborted)
        collector.finish(false);
}
