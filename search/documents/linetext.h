#pragma once

#include <QString>

// The text of one line (a paragraph, a row, a line of a page) as a reader gathers it. Only
// the first kMaxLength units are kept, so that one endless paragraph cannot take the memory
// that streaming the document saves; a longer line is searched in that part.
class LineText
{
public:
    static constexpr qsizetype kMaxLength = 1 << 20;

    void append(QStringView text)
    {
        if (text_.size() < kMaxLength)
            text_ += text.left(kMaxLength - text_.size());
    }
    void append(QChar c) { append(QStringView(&c, 1)); }
    void appendSpaces(qsizetype count)
    {
        append(QString(qMin(count, kMaxLength), QLatin1Char(' ')));
    }
    // Appends `text` with every run of white space as one blank and none at the line's start:
    // how HTML and OpenDocument lay out the spaces of their markup.
    void appendCollapsed(QStringView text);

    const QString &text() const { return text_; }
    bool isEmpty() const { return text_.isEmpty(); }
    void clear() { text_.truncate(0); }   // keeps the room, when the text is not shared

private:
    QString text_;
};
