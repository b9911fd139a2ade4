#include "hitprinter.h"

#include <QDir>

void HitPrinter::printBatch(const QString &dirName, const QList<TFileInfo> &hits)
{
    const QByteArray text = format_ == Format::Json ? formatJson(dirName, hits) : formatLines(dirName, hits);
    fwrite(text.constData(), 1, size_t(text.size()), out_);
    hitCount_ += hits.size();
}

QByteArray HitPrinter::formatLines(const QString &dirName, const QList<TFileInfo> &hits)
{
    QByteArray out;
    const QString dirPrefix = dirName.endsWith(QDir::separator()) ? dirName : dirName + QDir::separator();
    for (const TFileInfo &hit : hits) {
        out += (dirPrefix + hit.fileName).toUtf8();
        if (hit.lineNo > 0) {
            out += ':';
            out += QByteArray::number(hit.lineNo);
            out += ':';
            out += hit.lineText.toUtf8();
        }
        out += '\n';
    }
    return out;
}

QByteArray HitPrinter::formatJson(const QString &dirName, const QList<TFileInfo> &hits)
{
    QByteArray out = "{\"dir\":";
    appendJsonString(out, dirName);
    out += ",\"hits\":[";
    for (int i = 0; i < hits.size(); ++i) {
        const TFileInfo &hit = hits.at(i);
        out += i ? ",{\"name\":" : "{\"name\":";
        appendJsonString(out, hit.fileName);
        out += ",\"line\":";
        out += QByteArray::number(hit.lineNo);
        out += ",\"text\":";
        appendJsonString(out, hit.lineText);
        out += '}';
    }
    out += "]}\n";
    return out;
}

void HitPrinter::appendJsonString(QByteArray &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if ((unsigned char)c < 0x20) {
                out += "\\u00";
                out += hex[(c >> 4) & 0xf];
                out += hex[c & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}
