#include "archive/zipfilelayer.h"

#include "archive/positionedread.h"
#include "archive/regularfile.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int64_t windowSize = 4 * 1024;

struct Window {
    int64_t start = -1;
    int64_t length = 0;
    char bytes[windowSize];

    bool holds(int64_t offset, int64_t count) const
    {
        return start >= 0 && offset >= start && offset + count <= start + length;
    }
};

struct CachedFile {
    int fd = -1;
    int64_t size = 0;
    int64_t position = 0;
    bool failed = false;
    Window windows[2];
    int older = 0; // the window the next miss refills

    ~CachedFile() { closeRegularFile(fd); }

    // Copies `count` bytes at the current position; the number copied.
    int64_t read(char *out, int64_t count)
    {
        count = std::min(count, std::max<int64_t>(0, size - position));
        if (count >= windowSize) {
            const int64_t got = positionedRead(fd, out, size_t(count), position);
            return advance(got);
        }
        Window *window = windows[0].holds(position, count) ? &windows[0]
            : windows[1].holds(position, count)             ? &windows[1]
                                                            : nullptr;
        if (!window) {
            window = &windows[older];
            window->start = -1;
            const int64_t got = positionedRead(fd, window->bytes, size_t(windowSize), position);
            if (got < 0)
                return advance(-1);
            window->start = position;
            window->length = got;
            count = std::min(count, got);
        }
        older = window == &windows[0] ? 1 : 0;
        std::memcpy(out, window->bytes + (position - window->start), size_t(count));
        return advance(count);
    }

    int64_t advance(int64_t got)
    {
        if (got < 0) {
            failed = true;
            return 0;
        }
        position += got;
        return got;
    }
};

CachedFile *cached(voidpf stream)
{
    return static_cast<CachedFile *>(stream);
}

voidpf ZCALLBACK openCached(voidpf, const void *path, int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ || !path)
        return nullptr;
    auto file = std::make_unique<CachedFile>();
    file->fd = openRegularFile(static_cast<const char *>(path), file->size);
    return file->fd < 0 ? nullptr : file.release();
}

uLong ZCALLBACK readCached(voidpf, voidpf stream, void *buffer, uLong size)
{
    return uLong(cached(stream)->read(static_cast<char *>(buffer), int64_t(size)));
}

uLong ZCALLBACK writeNothing(voidpf, voidpf, const void *, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK tellCached(voidpf, voidpf stream)
{
    return ZPOS64_T(cached(stream)->position);
}

long ZCALLBACK seekCached(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    CachedFile *file = cached(stream);
    const int64_t base = origin == ZLIB_FILEFUNC_SEEK_SET ? 0
        : origin == ZLIB_FILEFUNC_SEEK_CUR               ? file->position
        : origin == ZLIB_FILEFUNC_SEEK_END               ? file->size
                                                         : -1;
    const int64_t target = base + int64_t(offset);
    if (base < 0 || target < 0)
        return -1;
    file->position = target;
    return 0;
}

int ZCALLBACK closeCached(voidpf, voidpf stream)
{
    delete cached(stream);
    return 0;
}

int ZCALLBACK cachedError(voidpf, voidpf stream)
{
    return cached(stream)->failed ? 1 : 0;
}

} // namespace

void fillCachedZipFileLayer(zlib_filefunc64_def &files)
{
    files.zopen64_file = openCached;
    files.zread_file = readCached;
    files.zwrite_file = writeNothing;
    files.ztell64_file = tellCached;
    files.zseek64_file = seekCached;
    files.zclose_file = closeCached;
    files.zerror_file = cachedError;
    files.opaque = nullptr;
}
