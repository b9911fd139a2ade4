#pragma once

#include "walk/dirlisting.h"
#include "walk/fileinfo.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <string>

struct TSearchOptions;

// Where the entries being searched lie: the listing they come from, the directory's open
// descriptor and its path in file-system bytes.
struct EntryPlace
{
    const DirListing &listing;
    int fd;
    const std::string &rawPath;
    bool faithful;   // every name from the root down decodes faithfully
};

// The file pass and the archive pass over entries of one directory, appending the hits in
// listing order. It keeps the batch bound: once the hits gathered since `restart` pass
// 10,000 or 8 MB of line text, they are handed to `overflow` (which empties the list), also
// from inside a file. The serial walk and each worker of the parallel walk own one.
class EntrySearch
{
public:
    using Entries = std::vector<const DirListing::Entry *>;
    using Overflow = std::function<void(QList<TFileInfo> &hits)>;

    static constexpr qsizetype maxBatchHits = 10000;
    static constexpr qint64 maxBatchTextBytes = 8 << 20;

    // Installs itself as `options.offerHits` for its lifetime.
    EntrySearch(TSearchOptions &options, Overflow overflow);
    ~EntrySearch();
    EntrySearch(const EntrySearch &) = delete;
    EntrySearch &operator=(const EntrySearch &) = delete;

    // Starts counting towards the bound afresh (a new directory, or a new part of one).
    void restart();
    void searchFiles(const EntryPlace &place, Entries::const_iterator begin, Entries::const_iterator end,
                     QList<TFileInfo> &hits);
    void searchArchives(const EntryPlace &place, Entries::const_iterator begin, Entries::const_iterator end,
                        QList<TFileInfo> &hits);

    // Whether the hits passed the bound (for a caller that merges lists of hits itself).
    static bool pastBound(const QList<TFileInfo> &hits, qint64 textBytes)
    {
        return hits.size() >= maxBatchHits || textBytes >= maxBatchTextBytes;
    }
    static qint64 textBytesOf(const TFileInfo &hit) { return hit.lineText.size() * qint64(sizeof(QChar)); }

private:
    void beginFile(const EntryPlace &place, std::string_view raw, const DirListing::Entry &entry,
                   qsizetype firstHit, TFileInfo::Kind kind);
    void endFile(QList<TFileInfo> &hits);
    void offer(QList<TFileInfo> &hits);
    void markRawPaths(QList<TFileInfo> &hits, qsizetype from) const;

    TSearchOptions &options_;
    Overflow overflow_;
    qsizetype counted_ = 0;      // hits whose text is in textBytes_
    qint64 textBytes_ = 0;
    QByteArray fileRawPath_;     // of the file being searched, when its path is not faithful
    qsizetype fileStart_ = 0;    // its first hit in the list
    TFileInfo::Kind fileKind_ = TFileInfo::Kind::File;   // what its hits lie in
};
