#pragma once

#include <string>

// The file that follows the RAR volume at `path` in its set, by the usual naming:
// name.part1.rar, name.part2.rar, ... (the last number before the extension counts up, keeping
// its width), or name.rar, name.r00, name.r01, ..., name.r99, name.s00. Empty when the name
// does not follow either scheme.
std::string nextRarVolumeName(const std::string &path, bool newNumbering);
