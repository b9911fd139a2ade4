#pragma once

#include <QString>

#include <functional>

// Receives the text of a document line by line with its place: the paragraph number of a
// text, the row number of a sheet, the slide or page number. Returns false to stop reading.
using DocumentLineSink = std::function<bool(int place, const QString &line)>;
