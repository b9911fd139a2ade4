#include "clipboardfiles.h"

#include "filedropblocks.h"

#include <windows.h>
#include <oleidl.h>
#include <shlobj.h>

#include <cstddef>
#include <cstring>

// The portable builder writes the blocks byte for byte; make sure they are what the
// system's own declarations say.
static_assert(sizeof(DROPFILES) == 20, "DROPFILES header size");
static_assert(offsetof(DROPFILES, pFiles) == 0 && offsetof(DROPFILES, pt) == 4
                  && offsetof(DROPFILES, fNC) == 12 && offsetof(DROPFILES, fWide) == 16,
              "DROPFILES layout");
static_assert(DROPEFFECT_COPY == 1 && DROPEFFECT_MOVE == 2, "drop effect values");
static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");

namespace {

int widenWithSystem(const char *bytes, int length, char16_t *out, int capacity)
{
    return ::MultiByteToWideChar(CP_UTF8, 0, bytes, length, reinterpret_cast<LPWSTR>(out), capacity);
}

// A shareable global block holding a copy of `bytes`, or null.
HGLOBAL globalCopy(const QByteArray &bytes)
{
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, SIZE_T(bytes.size()));
    if (!block)
        return nullptr;
    void *memory = ::GlobalLock(block);
    if (!memory) {
        ::GlobalFree(block);
        return nullptr;
    }
    std::memcpy(memory, bytes.constData(), size_t(bytes.size()));
    ::GlobalUnlock(block);
    return block;
}

} // namespace

void setClipboardFiles(const char *files, int length, bool copy)
{
    const UINT effectFormat = ::RegisterClipboardFormatW(L"Preferred DropEffect");
    const FileDropBlocks blocks = buildFileDropBlocks(files, length, copy, widenWithSystem);
    HGLOBAL effect = globalCopy(blocks.effect);
    HGLOBAL drop = globalCopy(blocks.drop);
    if (!effectFormat || !effect || !drop || !::OpenClipboard(nullptr)) {
        // Nothing placed: the blocks are still ours to free.
        if (effect)
            ::GlobalFree(effect);
        if (drop)
            ::GlobalFree(drop);
        return;
    }
    ::EmptyClipboard();
    // Once placed, a block belongs to the clipboard; one it refused is still ours.
    if (!::SetClipboardData(CF_HDROP, drop))
        ::GlobalFree(drop);
    if (!::SetClipboardData(effectFormat, effect))
        ::GlobalFree(effect);
    ::CloseClipboard();
}
