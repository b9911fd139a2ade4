#include "referencegrep.h"

#include "content/recodetext.h"
#include "walk/searchoptions.h"
#include "content/systemcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

// A text stream of the kind the definition names (one that has a codec but no codec of its
// own beyond the decoder state) reads its device in blocks and hands each block, with one
// converter state for the whole stream, to the codec. So its text is the whole file decoded
// at once; decoders never flush, so a sequence cut off by the end of the file gives nothing.
//
// readLine() then returns the text up to the next line feed, without the line feed and
// without one carriage return just before it. The last line needs no line feed, and a
// carriage return that ends the data is dropped from it as well. A stream at its end reads no
// further line, so a text that ends with a line feed has no empty line after it. One case
// stands apart: a non-empty file whose bytes decode to no character at all is not at its end
// before the first read, so it reads one (null) line.
QStringList referenceLines(QTextCodec *codec, const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    const QString text = codec->toUnicode(bytes.constData(), int(bytes.size()), &state);
    if (text.isEmpty())
        return bytes.isEmpty() ? QStringList() : QStringList{QString()};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        lines.removeLast();
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

// With Unicode detection on, the stream looks at the first block it reads for a byte-order
// mark: UTF-32 marks first (four bytes), then UTF-16 (two), then UTF-8 (three).
QTextCodec *referenceStreamCodec(const QByteArray &b)
{
    const auto at = [&b](int i) { return uchar(b.at(i)); };
    if (b.size() > 3) {
        if (at(0) == 0x00 && at(1) == 0x00 && at(2) == 0xfe && at(3) == 0xff)
            return QTextCodec::codecForMib(1018);
        if (at(0) == 0xff && at(1) == 0xfe && at(2) == 0x00 && at(3) == 0x00)
            return QTextCodec::codecForMib(1019);
    }
    if (b.size() >= 2) {
        if (at(0) == 0xfe && at(1) == 0xff)
            return QTextCodec::codecForMib(1013);
        if (at(0) == 0xff && at(1) == 0xfe)
            return QTextCodec::codecForMib(1014);
    }
    if (b.size() >= 3 && at(0) == 0xef && at(1) == 0xbb && at(2) == 0xbf)
        return QTextCodec::codecForMib(106);
    return systemCodec();
}

QList<TFileInfo> referenceGrep(const TSearchOptions &options, const QString &path, const QString &displayName)
{
    QList<TFileInfo> hits;
    if (QFileInfo(path).isDir())
        return hits;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return hits;
    const QByteArray bytes = file.readAll();

    if (!options.deepSearch) {
        const QStringList lines = referenceLines(referenceStreamCodec(bytes), bytes);
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].contains(options.grepText, options.caseSensitivity))
                hits.append(TFileInfo{displayName, i + 1, lines[i].left(80)});
        }
        return hits;
    }

    QList<int> reportedLines;
    QTextCodec *display = QTextCodec::codecForName("gb18030");
    for (const auto &pair : options.codecTexts) {
        const QStringList lines = referenceLines(pair.first, bytes);
        for (int i = 0; i < lines.size(); ++i) {
            const int lineNo = i + 1;
            if (!lines[i].contains(pair.second, options.caseSensitivity) || reportedLines.contains(lineNo))
                continue;
            reportedLines.append(lineNo);
            QString shown;
            recodeText(lines[i], pair.first, display, shown);
            hits.append(TFileInfo{displayName, lineNo,
                                  QLatin1Char('[') + QString::fromLatin1(pair.first->name()) + QLatin1String("]\t")
                                      + shown.left(80)});
        }
    }
    return hits;
}
