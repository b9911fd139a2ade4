#include "archive/entryhold.h"

#include "archive/extractionplace.h"
#include "content/grepfile.h"
#include "walk/searchoptions.h"

#include <QFile>

#include <cstring>

EntryHold::EntryHold(ExtractionPlace &place, const char *spillName)
    : place_(place)
    , spillName_(spillName)
{
}

void EntryHold::start(int64_t statedSize)
{
    file_.abandon();
    heldBytes_ = 0;
    spilled_ = false;
    spillPath_.clear();
    if (statedSize > int64_t(memoryBytes))
        spill();
}

void EntryHold::spill()
{
    spilled_ = true;
    spillPath_ = place_.clearedPath(spillName_);
    if (!spillPath_.empty() && file_.open(spillPath_) && heldBytes_ > 0)
        file_.write(held_.get(), heldBytes_);
}

bool EntryHold::put(const void *data, size_t size)
{
    if (!spilled_ && size <= memoryBytes - heldBytes_) {
        if (!held_)
            held_ = std::make_unique<unsigned char[]>(memoryBytes);
        std::memcpy(held_.get() + heldBytes_, data, size);
        heldBytes_ += size;
        return true;
    }
    if (!spilled_)
        spill();
    return file_.isOpen() && file_.write(data, size);
}

bool EntryHold::finish(const DiagnosticSink &diagnostics)
{
    if (!spilled_)
        return true;
    if (!file_.isOpen()) {
        spillPath_.clear();
        return false;
    }
    if (!file_.close())
        reportDiagnostic(diagnostics, "error in writing extracted file\n");
    // A damaged entry is searched as far as it could be read.
    return true;
}

void EntryHold::abandon()
{
    file_.abandon();
    spillPath_.clear();
    spilled_ = true;
}

void EntryHold::search(const TSearchOptions *options, QList<TFileInfo> &hits, const QString &hitName) const
{
    static const unsigned char nothing = 0;
    if (!spilled_)
        grepMemory(options, held_ ? held_.get() : &nothing, qint64(heldBytes_), hits, hitName);
    else if (!spillPath_.empty())
        grepFile(options, QFile::decodeName(spillPath_.c_str()), hits, hitName);
}
