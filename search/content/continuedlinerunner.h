#pragma once

#include "content/passrunner.h"

#include <vector>

// HZ text with line continuations ("~\n") but no switch to GB2312 ("~{"): every line starts in
// ASCII, and a line feed ends a line unless an unpaired tilde comes right before it. Only the
// lines where the pass's quiet gate finds a place the text may start are decoded, each on its
// own; the others are only counted.
class ContinuedLineRunner : public PassRunner
{
public:
    using PassRunner::PassRunner;
    void finish() override;

private:
    void decodeLine(qint64 start, qint64 end, int lineNo);
};
