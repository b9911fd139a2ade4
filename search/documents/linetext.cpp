#include "documents/linetext.h"

void LineText::appendCollapsed(QStringView text)
{
    QString collapsed;
    collapsed.reserve(text.size());
    bool blank = text_.isEmpty() || text_.endsWith(QLatin1Char(' '));
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (!blank)
                collapsed += QLatin1Char(' ');
            blank = true;
        } else {
            collapsed += c;
            blank = false;
        }
    }
    append(collapsed);
}
