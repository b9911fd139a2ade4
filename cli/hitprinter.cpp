#include "hitprinter.h"

#include <QDir>

void HitPrinter::printBatch(const QString &dirName, const QList<TFileInfo> &hits)
{
    if (outputClosed_.load())
        return;
    const QByteArray text = format_ == Format::Json ? formatJson(dirName, hits) : formatLines(dirName, hits);
    fwrite(text.constData(), 1, size_t(text.size()), out_);
    hitCount_ += hits.size();
    if (ferror(out_)) {
        outputClosed_.store(true);
        if (onOutputClosed_)
            onOutputClosed_();
    }
}

QByteArray HitPrinter::formatLines(const QString &dirName, const QList<TFileInfo> &hits)
{
    QByteArray out;
    const QString dirPrefix = dirName.endsWith(QDir::separator()) ? dirName : dirName + QDir::separator();
    for (const TFileInfo &hit : hits) {
        appendEscapedName(out, dirPrefix + hit.fileName);
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
        if (!hit.rawPath.isEmpty()) {
            // The name shows replacement characters; these are the path's own bytes.
            out += ",\"path_base64\":\"";
            out += hit.rawPath.toBase64();
            out += '"';
        }
        if (hit.kind != TFileInfo::Kind::File)
            out += hit.kind == TFileInfo::Kind::Archive ? ",\"kind\":\"archive\"" : ",\"kind\":\"document\"";
        out += ",\"line\":";
        out += QByteArray::number(hit.lineNo);
        out += ",\"text\":";
        appendJsonString(out, hit.lineText);
        out += '}';
    }
    out += "]}\n";
    return out;
}

void HitPrinter::appendEscapedName(QByteArray &out, const QString &name)
{
    // A name could hold a newline (forging a line of output) or an escape sequence (driving the
    // terminal): control characters, C1 included, are written as \xNN.
    static const char hex[] = "0123456789abcdef";
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        const char16_t u = i < name.size() ? name.at(i).unicode() : 0;
        if (i < name.size() && u >= 0x20 && (u < 0x7f || u > 0x9f))
            continue;
        out += QStringView(name).mid(plainFrom, i - plainFrom).toUtf8();
        plainFrom = i + 1;
        if (i < name.size()) {
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 0xf];
        }
    }
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
