#include "content/recodetext.h"

#include <QTextCodec>
#include <QTextDecoder>

void recodeText(const QString &in, QTextCodec *first, QTextCodec *second, QString &out)
{
    const QString throughFirst = first->toUnicode(first->fromUnicode(in));
    const QByteArray bytes = second->fromUnicode(throughFirst);
    QTextDecoder decoder(second);
    out = decoder.toUnicode(bytes);
}
