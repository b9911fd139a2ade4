#pragma once

#include "content/chunkscan.h"
#include "content/contentchunking.h"
#include "content/piecedecoder.h"
#include "content/readbuffer.h"
#include "walk/fileinfo.h"

#include <functional>
#include <memory>

class ContentPlan;
class FileBytes;
struct TSearchOptions;

// The content search of one request, made once and used for every file: it owns the plan
// (the passes per codec and their byte patterns) and the buffers reused from file to file.
// Not shared between threads: each thread that searches makes its own.
class ContentSearch
{
public:
    // Reads the text, case rule, mode and codec texts of `options`.
    explicit ContentSearch(const TSearchOptions &options, const ContentChunking &chunking = ContentChunking());
    ~ContentSearch();
    ContentSearch(const ContentSearch &) = delete;
    ContentSearch &operator=(const ContentSearch &) = delete;

    // Appends one hit per line of the file at `path` that holds the search text: read with the
    // system codec (or the Unicode codec a byte-order mark names), or under deep search once
    // per codec that can hold the text, each line number reported by the first pass that
    // finds it, its text shown as "[codec]\t" and the line recoded through GB18030. A
    // directory, a missing or unreadable path, a pipe or a device gives no hit. Memory stays
    // bounded by a few chunks of the file (by its held chunks, see ContentChunking), however
    // long its lines; a stop request ends the search inside the file (no hit of that file is
    // then added).
    void search(const QString &path, QList<TFileInfo> &hits, const QString &displayName);
#ifdef Q_OS_UNIX
    // The same for the file `name` (file-system bytes) of the directory open at `dirFd`: no
    // path is formed, so neither its length nor its encoding matters.
    void searchAt(int dirFd, const QByteArray &name, QList<TFileInfo> &hits, const QString &displayName);
#endif
    // The same for `size` bytes in memory (an archive entry read whole), as a file holding them.
    void searchMemory(const unsigned char *data, qint64 size, QList<TFileInfo> &hits, const QString &displayName);

private:
    void searchOpenFile(FileBytes &file, QList<TFileInfo> &hits, const QString &displayName);
    qint64 readRest(FileBytes &file, qint64 got);

    const std::function<void(QList<TFileInfo> &)> *offerHits_;   // the options' batch bound
    std::unique_ptr<ContentPlan> plan_;
    const ContentChunking chunking_;
    const qint64 overlapRoom_;
    ReadBuffer buffer_;
    ChunkScratch scratch_;
    SpareDecoders spares_;
    std::vector<signed char> quietGates_;   // the file's, reused from file to file
};
