#pragma once

#include "archive/extractionfile.h"
#include "walk/diagnostics.h"
#include "walk/fileinfo.h"

#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class ExtractionPlace;
struct TSearchOptions;

// One archive entry's bytes as they are read, for a content search: up to 1 MB held in memory
// and searched there (no file made per entry), a larger one (or one whose stated size was
// wrong) written on to the extraction file `spillName` and searched there. Small enough that
// three nested readers and the content search stay well within 50 MB.
class EntryHold
{
public:
    static constexpr size_t memoryBytes = size_t(1) << 20;

    EntryHold(ExtractionPlace &place, const char *spillName);

    // A new entry; `statedSize` (-1 when unknown) past the memory goes straight to the file.
    void start(int64_t statedSize);
    // False once the extraction file cannot be written.
    bool put(const void *data, size_t size);
    // After the last piece: false when nothing could be kept (the file could not be made).
    bool finish(const DiagnosticSink &diagnostics);
    // For a read that was stopped or left: nothing is searched.
    void abandon();
    void search(const TSearchOptions *options, QList<TFileInfo> &hits, const QString &hitName) const;

private:
    void spill();

    ExtractionPlace &place_;
    const char *spillName_;
    std::unique_ptr<unsigned char[]> held_;
    size_t heldBytes_ = 0;
    bool spilled_ = false;
    std::string spillPath_;
    ExtractionFile file_;
};
