#include "archive/rarvolumenames.h"

#include <cctype>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

size_t baseNameStart(const std::string &path)
{
#ifdef _WIN32
    const size_t slash = path.find_last_of("/\\");
#else
    const size_t slash = path.rfind('/');
#endif
    return slash == std::string::npos ? 0 : slash + 1;
}

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

std::string nextByNumber(const std::string &path, size_t base, size_t extension)
{
    size_t end = extension;
    while (end > base && !isDigit(path[end - 1]))
        --end;
    if (end == base)
        return std::string();
    size_t begin = end;
    while (begin > base && isDigit(path[begin - 1]))
        --begin;
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

} // namespace

std::string nextRarVolumeName(const std::string &path, bool newNumbering)
{
    const size_t base = baseNameStart(path);
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
