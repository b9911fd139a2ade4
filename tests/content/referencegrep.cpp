#include "referencegrep.h"

#include "content/recodetext.h"
#include "content/systemcodec.h"
#include "walk/searchoptions.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

namespace {

// What a text stream's readLine() gives: the file decoded at once with one converter state
// (never flushed), split at line feeds, one carriage return before each dropped, no empty line
// after a final line feed. A non-empty file that decodes to no character reads one null line.
QStringList streamLines(QTextCodec *codec, const QByteArray &bytes)
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

// Unicode detection: UTF-32 marks first (four bytes), then UTF-16 (two), then UTF-8 (three).
QTextCodec *streamCodec(const QByteArray &b)
{
    if (b.startsWith(QByteArray("\0\0\xfe\xff", 4)))
        return QTextCodec::codecForMib(1018);
    if (b.startsWith(QByteArray("\xff\xfe\0\0", 4)))
        return QTextCodec::codecForMib(1019);
    if (b.startsWith("\xfe\xff"))
        return QTextCodec::codecForMib(1013);
    if (b.startsWith("\xff\xfe"))
        return QTextCodec::codecForMib(1014);
    if (b.startsWith("\xef\xbb\xbf"))
        return QTextCodec::codecForMib(106);
    return systemCodec();
}

} // namespace

QList<TFileInfo> referenceGrep(const TSearchOptions &options, const QString &path, const QString &displayName)
{
    QList<TFileInfo> hits;
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        return hits;
    const QByteArray bytes = file.readAll();
    if (!options.deepSearch) {
        const QStringList lines = streamLines(streamCodec(bytes), bytes);
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].contains(options.grepText, options.caseSensitivity))
                hits.append(TFileInfo{displayName, i + 1, lines[i].left(80)});
        }
        return hits;
    }
    // A codec takes part only if it gives the text back: its prepared text is the text itself.
    QString held;
    recodeText(options.grepText, systemCodec(), systemCodec(), held);
    QList<int> reportedLines;
    QTextCodec *display = QTextCodec::codecForName("gb18030");
    for (const auto &pair : options.codecTexts) {
        if (pair.second != held)
            continue;
        const QStringList lines = streamLines(pair.first, bytes);
        for (int i = 0; i < lines.size(); ++i) {
            if (!lines[i].contains(pair.second, options.caseSensitivity) || reportedLines.contains(i + 1))
                continue;
            reportedLines.append(i + 1);
            QString shown;
            recodeText(lines[i], pair.first, display, shown);
            hits.append(TFileInfo{displayName, i + 1,
                                  QLatin1Char('[') + QString::fromLatin1(pair.first->name()) + QLatin1String("]\t")
                                      + shown.left(80)});
        }
    }
    return hits;
}
