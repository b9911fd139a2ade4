#include "archive/rarvolumenames.h"

#include <cctype>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Counts the digits [begin, end) up by one; "9" becomes "10".
void countUp(std::string &name, size_t begin, size_t end)
{
    for (size_t i = end; i-- > begin;) {
        if (name[i] != '9') {
            ++name[i];
            return;
        }
        name[i] = '0';
    }
    name.insert(begin, 1, '1');
}

// The last run of digits in the file name before its extension: [begin, end). False when none.
bool findVolumeNumber(const std::string &path, size_t base, size_t extension, size_t &begin, size_t &end)
{
    end = extension;
    while (end > base && !isDigit(path[end - 1]))
        --end;
    if (end == base)
        return false;
    begin = end;
    while (begin > base && isDigit(path[begin - 1]))
        --begin;
    return true;
}

std::string nextByNumber(const std::string &path, size_t base, size_t extension)
{
    size_t begin = 0, end = 0;
    if (!findVolumeNumber(path, base, extension, begin, end))
        return std::string();
    std::string next = path;
    countUp(next, begin, end);
    return next;
}

std::string nextByExtension(const std::string &path, size_t extension)
{
    if (extension == std::string::npos || path.size() - extension != 4)
        return std::string();
    std::string next = path;
    char &letter = next[extension + 1];
    char &tens = next[extension + 2];
    char &units = next[extension + 3];
    if ((letter == 'r' || letter == 'R') && (tens == 'a' || tens == 'A') && (units == 'r' || units == 'R')) {
        tens = units = '0';
        return next;
    }
    if (!std::isalpha(static_cast<unsigned char>(letter)) || !isDigit(tens) || !isDigit(units))
        return std::string();
    if (units != '9') {
        ++units;
    } else if (tens != '9') {
        ++tens;
        units = '0';
    } else if (letter != 'z' && letter != 'Z') {
        ++letter;
        tens = units = '0';
    } else {
        return std::string();
    }
    return next;
}

std::vector<std::string> previousByNumber(const std::string &path, size_t base, size_t extension)
{
    size_t begin = 0, end = 0;
    if (!findVolumeNumber(path, base, extension, begin, end))
        return {};
    std::string previous = path;
    size_t i = end;
    while (i > begin && previous[i - 1] == '0') {
        previous[i - 1] = '9';
        --i;
    }
    if (i == begin)
        return {};  // all zeros: nothing before
    --previous[i - 1];
    if (previous.find_first_not_of('0', begin) >= end)
        return {};  // it was the first
    std::vector<std::string> names{previous};
    // A set numbered without leading zeros: part10 follows part9, not part09.
    size_t zeros = begin;
    while (zeros + 1 < end && previous[zeros] == '0')
        ++zeros;
    if (zeros > begin && path[begin] != '0')
        names.push_back(previous.substr(0, begin) + previous.substr(zeros));
    return names;
}

std::vector<std::string> previousByExtension(const std::string &path, size_t extension)
{
    if (extension == std::string::npos || path.size() - extension != 4)
        return {};
    std::string previous = path;
    char &letter = previous[extension + 1];
    char &tens = previous[extension + 2];
    char &units = previous[extension + 3];
    if (!std::isalpha(static_cast<unsigned char>(letter)) || !isDigit(tens) || !isDigit(units))
        return {};
    const bool upper = std::isupper(static_cast<unsigned char>(letter));
    if (units != '0') {
        --units;
    } else if (tens != '0') {
        --tens;
        units = '9';
    } else if (letter == 'r' || letter == 'R') {
        letter = upper ? 'R' : 'r';
        tens = upper ? 'A' : 'a';
        units = upper ? 'R' : 'r';
    } else if (letter > 'r' || (letter > 'R' && letter <= 'Z')) {
        --letter;
        tens = units = '9';
    } else {
        return {};
    }
    return {previous};
}

} // namespace

std::vector<std::string> previousRarVolumeNames(const std::string &path, bool newNumbering)
{
    const size_t base = fileNameStart(path);
    size_t extension = path.rfind('.');
    if (extension != std::string::npos && extension < base)
        extension = std::string::npos;
    if (newNumbering)
        return previousByNumber(path, base, extension == std::string::npos ? path.size() : extension);
    return previousByExtension(path, extension);
}

std::string nextRarVolumeName(const std::string &path, bool newNumbering)
{
    const size_t base = fileNameStart(path);
    size_t extension = path.rfind('.');
    if (extension != std::string::npos && extension < base)
        extension = std::string::npos;
    if (newNumbering) {
        const std::string next = nextByNumber(path, base, extension == std::string::npos ? path.size() : extension);
        if (!next.empty())
            return next;
    }
    return nextByExtension(path, extension);
}
