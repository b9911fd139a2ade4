#pragma once

#include "resultrows.h"

// The text that "复制选中列表信息" puts on the clipboard: for each row a block of labelled
// lines (name always; line number, line text and modification time when not empty),
// each block ended by two more line feeds.
QString describeRows(const QList<ResultRow> &rows);
