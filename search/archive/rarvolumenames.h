#pragma once

#include <string>
#include <vector>

// The file that follows the RAR volume at `path` in its set, by the usual naming:
// name.part1.rar, name.part2.rar, ... (the last number before the extension counts up, keeping
// its width), or name.rar, name.r00, name.r01, ..., name.r99, name.s00. Empty when the name
// does not follow either scheme.
std::string nextRarVolumeName(const std::string &path, bool newNumbering);

// The names the volume before the one at `path` may carry (name.part10.rar: name.part09.rar and
// name.part9.rar; name.r00: name.rar; name.s00: name.r99). Empty for a first volume (name.part1.rar,
// name.rar) and for names that follow neither scheme.
std::vector<std::string> previousRarVolumeNames(const std::string &path, bool newNumbering);

// Where the file name starts in `path`: after the last separator this platform knows.
size_t fileNameStart(const std::string &path);
