#include "archive/rarvolumenames.h"

size_t fileNameStart(const std::string &path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}
