#pragma once

#include <QString>

#include <functional>

// Whether one line holds the search text, fed in pieces. A carriage return at the end of the
// line is not part of it, so a trailing one is held back until more text follows.
class LineMatcher
{
public:
    LineMatcher(const QString &needle, Qt::CaseSensitivity cs);
    void reset();
    void feed(QStringView part);   // `part` holds no line feed
    bool matched() const { return matched_; }
    void assumeMatch() { matched_ = true; }

private:
    const QString &needle_;
    Qt::CaseSensitivity cs_;
    QString window_;   // the last units fed, for matches that span pieces
    bool pendingReturn_ = false;
    bool matched_ = false;
};

// Splits decoded text into lines at line feeds and reports every line that holds the search
// text, with its number and its first `kLinePrefix` units (a carriage return that ends the
// line dropped). Memory stays bounded however long a line is.
class LineCollector
{
public:
    static constexpr qsizetype kLinePrefix = 1024;
    using Sink = std::function<void(int lineNo, const QString &prefix)>;

    LineCollector(const QString &needle, Qt::CaseSensitivity cs, int firstLineNo, Sink sink);

    void feed(QStringView text);
    // Ends the text: an unfinished last line is completed. `phantomLine`: the text came from a
    // non-empty file and no character at all was decoded, which still reads as one empty line.
    void finish(bool phantomLine);

    int lineNo() const { return lineNo_; }        // number of the line being collected
    int linesCompleted() const { return completed_; }
    bool sawText() const { return sawText_; }
    // The current line needs no more text: it matched and its prefix is complete.
    bool lineSettled() const { return matcher_.matched() && prefix_.size() >= kLinePrefix; }
    // Lines up to `lineNo` are not reported again (an earlier look already did).
    void suppressThrough(int lineNo) { suppressedThrough_ = lineNo; }
    // Only the first line is wanted: text after it is ignored.
    void stopAfterFirstLine() { lineLimit_ = 1; }
    // The current line is known to match: only its text is wanted.
    void assumeMatch() { matcher_.assumeMatch(); }

private:
    void completeLine();
    bool matchWholeLine(QStringView line);
    void reportLine(QStringView line);
    // Counts and checks the whole lines at the start of `text`; returns where the first line
    // it left (one without its line feed yet) starts.
    qsizetype skipLines(QStringView text);

    const QString &needle_;
    Qt::CaseSensitivity cs_;
    LineMatcher matcher_;
    Sink sink_;
    int lineNo_;
    int completed_ = 0;
    int suppressedThrough_ = 0;
    int lineLimit_ = 0;   // 0: no limit
    QString prefix_;
    qsizetype lineLength_ = 0;
    bool lineOpen_ = false;
    bool sawText_ = false;
};
