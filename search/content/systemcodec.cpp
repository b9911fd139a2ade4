#include "content/systemcodec.h"

#include <QTextCodec>

QTextCodec *systemCodec()
{
    return QTextCodec::codecForLocale();
}

QTextCodec *displayCodec()
{
    static QTextCodec *const codec = QTextCodec::codecForName("gb18030");
    return codec;
}
