#include "content/linecollector.h"

#include "content/bytescan.h"

LineMatcher::LineMatcher(const QString &needle, Qt::CaseSensitivity cs)
    : needle_(needle)
    , cs_(cs)
{
    reset();
}

void LineMatcher::reset()
{
    window_.clear();
    pendingReturn_ = false;
    matched_ = needle_.isEmpty();
}

void LineMatcher::feed(QStringView part)
{
    if (matched_ || part.isEmpty())
        return;
    const qsizetype n = needle_.size();
    QString text;
    text.reserve(window_.size() + part.size() + 1);
    text += window_;
    const qsizetype from = std::max<qsizetype>(0, window_.size() - n + 1);
    if (pendingReturn_)
        text += QLatin1Char('\r');
    text += part;
    pendingReturn_ = text.endsWith(QLatin1Char('\r'));
    if (pendingReturn_)
        text.chop(1);
    if (text.size() - from >= n && QStringView(text).indexOf(needle_, from, cs_) >= 0) {
        matched_ = true;
        return;
    }
    // Keep n - 1 units for a match that ends in the next piece, and one more so that the
    // first of them keeps its neighbour (a surrogate pair folds as one character).
    window_ = text.right(n);
}

LineCollector::LineCollector(const QString &needle, Qt::CaseSensitivity cs, int firstLineNo, Sink sink)
    : needle_(needle)
    , cs_(cs)
    , matcher_(needle, cs)
    , sink_(std::move(sink))
    , lineNo_(firstLineNo)
{
}

bool LineCollector::matchWholeLine(QStringView line)
{
    if (lineNo_ <= suppressedThrough_)
        return false;
    if (matcher_.matched())
        return true;
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line.size() >= needle_.size() && line.indexOf(needle_, 0, cs_) >= 0;
}

qsizetype LineCollector::skipLines(QStringView text)
{
    // Whole lines that cannot match are only counted: look for the text first, and at the
    // lines around a find only. Matches hold no line feed, so they never span lines.
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype found = needle_.isEmpty() ? -1 : text.indexOf(needle_, at, cs_);
        const qsizetype stop = found < 0 ? text.size() : found;
        std::ptrdiff_t lastFeed = -1;
        const size_t feeds = bytescan::countUnits(text.utf16() + at, size_t(stop - at), u'\n', lastFeed);
        if (lastFeed >= 0) {
            lineNo_ += int(feeds);
            completed_ += int(feeds);
            at += lastFeed + 1;
        }
        if (found < 0)
            return at;
        const qsizetype end = text.indexOf(QLatin1Char('\n'), found);
        if (end < 0)
            return at;   // the line goes on in the next piece
        const QStringView line = text.mid(at, end - at);
        if (matchWholeLine(line))
            reportLine(line);
        ++lineNo_;
        ++completed_;
        at = end + 1;
    }
    return at;
}

void LineCollector::reportLine(QStringView line)
{
    QString prefix = line.left(kLinePrefix).toString();
    if (line.size() <= kLinePrefix && prefix.endsWith(QLatin1Char('\r')))
        prefix.chop(1);
    sink_(lineNo_, prefix);
}

void LineCollector::feed(QStringView text)
{
    if (text.isEmpty())
        return;
    sawText_ = true;
    while (!text.isEmpty() && (lineLimit_ == 0 || completed_ < lineLimit_)) {
        if (!lineOpen_ && lineLimit_ == 0 && !needle_.isEmpty() && lineNo_ > suppressedThrough_ && !matcher_.matched()) {
            text = text.mid(skipLines(text));
            if (text.isEmpty() || text.indexOf(QLatin1Char('\n')) >= 0)
                continue;
        }
        const qsizetype lf = text.indexOf(QLatin1Char('\n'));
        if (lf >= 0 && !lineOpen_) {
            // A whole line in one piece: nothing to copy unless it is reported.
            const QStringView line = text.left(lf);
            if (matchWholeLine(line))
                reportLine(line);
            ++lineNo_;
            ++completed_;
            matcher_.reset();
            text = text.mid(lf + 1);
            continue;
        }
        const QStringView part = lf < 0 ? text : text.left(lf);
        if (!part.isEmpty()) {
            lineOpen_ = true;
            lineLength_ += part.size();
            if (prefix_.size() < kLinePrefix)
                prefix_ += part.left(kLinePrefix - prefix_.size());
            if (lineNo_ > suppressedThrough_)
                matcher_.feed(part);
        }
        if (lf < 0)
            break;
        completeLine();
        text = text.mid(lf + 1);
    }
}

void LineCollector::completeLine()
{
    if (lineLength_ <= kLinePrefix && prefix_.endsWith(QLatin1Char('\r')))
        prefix_.chop(1);
    if (lineNo_ > suppressedThrough_ && matcher_.matched())
        sink_(lineNo_, prefix_);
    ++lineNo_;
    ++completed_;
    prefix_.truncate(0);
    lineLength_ = 0;
    lineOpen_ = false;
    matcher_.reset();
}

void LineCollector::finish(bool phantomLine)
{
    if (lineLimit_ && completed_ >= lineLimit_)
        return;
    if (lineOpen_ || (phantomLine && !sawText_))
        completeLine();
}
