#include "walk/diagnostics.h"

#include <cstdarg>
#include <cstdio>

DiagnosticSink standardOutputSink()
{
    return [](const QByteArray &text) {
        fwrite(text.constData(), 1, size_t(text.size()), stdout);
        fflush(stdout);
    };
}

void reportDiagnostic(const DiagnosticSink &sink, const char *format, ...)
{
    if (!sink)
        return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    QByteArray text;
    if (length > 0) {
        text.resize(length);
        vsnprintf(text.data(), size_t(length) + 1, format, args);
    }
    va_end(args);
    if (!text.isEmpty())
        sink(text);
}
