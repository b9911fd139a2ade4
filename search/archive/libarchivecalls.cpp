#include "archive/libarchivecalls.h"

#include <QLibrary>

namespace la {

#define QUORVEL_DEFINE_CALL(name) decltype(&::name) name = nullptr;
QUORVEL_LIBARCHIVE_CALLS(QUORVEL_DEFINE_CALL)
#undef QUORVEL_DEFINE_CALL

namespace {

decltype(&::archive_read_new) readNew = nullptr;

// Once per process; the calls are set before any thread sees the outcome.
bool loaded()
{
    static const bool all = [] {
        // By its versioned name where libraries have one (Windows: archive.dll). A loaded
        // library stays loaded: QLibrary unloads only when asked.
        QLibrary library(QStringLiteral("archive"), QUORVEL_LIBARCHIVE_SOVERSION);
        if (!library.load())
            return false;
        bool found = (readNew = reinterpret_cast<decltype(readNew)>(library.resolve("archive_read_new")));
#define QUORVEL_RESOLVE_CALL(name) found = (name = reinterpret_cast<decltype(name)>(library.resolve(#name))) && found;
        QUORVEL_LIBARCHIVE_CALLS(QUORVEL_RESOLVE_CALL)
#undef QUORVEL_RESOLVE_CALL
        return found;
    }();
    return all;
}

} // namespace

struct archive *archive_read_new()
{
    return loaded() ? readNew() : nullptr;
}

} // namespace la
