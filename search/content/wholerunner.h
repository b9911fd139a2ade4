#pragma once

#include "content/passrunner.h"

#include <QTextCodec>

// Passes that decode the whole file from its start: codecs whose state no line feed resets
// (SCSU, ISO 2022 with its switches, BOCU-1, HZ with its escapes) and texts no byte pattern can
// find (the empty text, surrogates in UTF-16/UTF-32). A gate pattern, if any, must occur first.
class WholeRunner : public PassRunner
{
public:
    using PassRunner::PassRunner;
    void finish() override;

private:
    bool fileHoldsGate();
    void decodeToLineEnd(LineCollector &collector, QTextCodec::ConverterState &state, qint64 from);
};
