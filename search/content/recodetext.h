#pragma once

#include <QString>

class QTextCodec;

// The text as it survives being stored in `first` and then read back through `second`.
void recodeText(const QString &in, QTextCodec *first, QTextCodec *second, QString &out);
