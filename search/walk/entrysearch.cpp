#include "walk/entrysearch.h"

#include "archive/archivesearch.h"
#include "content/grepfile.h"
#include "documents/documentkind.h"
#include "documents/grepdocument.h"
#include "walk/searchoptions.h"
#include "walk/stoprequest.h"

#include <QFile>

#include <climits>

namespace {

std::string joinedRaw(const std::string &parent, std::string_view name)
{
    std::string path = parent;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

// The readers that open by path get, past the system's limit, a path through the descriptor.
QByteArray openablePath(const EntryPlace &place, const std::string &fullPath, std::string_view raw)
{
    return fullPath.size() < PATH_MAX
        ? QByteArray::fromStdString(fullPath)
        : "/proc/self/fd/" + QByteArray::number(place.fd) + '/' + QByteArray(raw.data(), qsizetype(raw.size()));
}

} // namespace

EntrySearch::EntrySearch(TSearchOptions &options, Overflow overflow)
    : options_(options)
    , overflow_(std::move(overflow))
{
    options_.offerHits = [this](QList<TFileInfo> &hits) { offer(hits); };
}

EntrySearch::~EntrySearch()
{
    options_.offerHits = nullptr;
}

void EntrySearch::restart()
{
    counted_ = 0;
    textBytes_ = 0;
    fileStart_ = 0;
}

void EntrySearch::beginFile(const EntryPlace &place, std::string_view raw, const DirListing::Entry &entry,
                            qsizetype firstHit, TFileInfo::Kind kind)
{
    fileRawPath_ = place.faithful && entry.decodable ? QByteArray()
                                                     : QByteArray::fromStdString(joinedRaw(place.rawPath, raw));
    fileStart_ = firstHit;
    fileKind_ = kind;
}

void EntrySearch::endFile(QList<TFileInfo> &hits)
{
    markRawPaths(hits, fileStart_);
    fileRawPath_.clear();
    fileKind_ = TFileInfo::Kind::File;
    offer(hits);
}

void EntrySearch::searchFiles(const EntryPlace &place, Entries::const_iterator begin, Entries::const_iterator end,
                              QList<TFileInfo> &hits)
{
    const DirListing &listing = place.listing;
    const bool contentSearch = !options_.grepText.isEmpty();
    for (auto it = begin; it != end; ++it) {
        if (searchStopRequested())
            break;
        const DirListing::Entry &entry = **it;
        if (contentSearch && entry.kind == DirListing::Kind::Directory)
            continue;   // a folder holds no text of its own: not even opened
        const std::string_view raw = listing.rawNameView(entry);
        beginFile(place, raw, entry, hits.size(), TFileInfo::Kind::File);
        if (!contentSearch) {
            hits.append(TFileInfo{listing.name(entry), 0, QString()});
        } else if (options_.archives && DirListing::isArchiveName(raw)) {
            // Archives are searched by the archive pass, not read as text.
        } else if (options_.documents && fileRawPath_.isEmpty()
                   && documentKindOf(listing.name(entry)) != DocumentKind::None) {
            // The text of a document, not its (compressed) bytes. Its name decodes faithfully,
            // so the decoded path opens it.
            const QByteArray openPath = openablePath(place, joinedRaw(place.rawPath, raw), raw);
            fileKind_ = TFileInfo::Kind::Document;
            grepDocument(&options_, QFile::decodeName(openPath), hits, listing.name(entry));
        } else {
            grepFileAt(&options_, place.fd, QByteArray(raw.data(), qsizetype(raw.size())), hits, listing.name(entry));
        }
        endFile(hits);
    }
}

void EntrySearch::searchArchives(const EntryPlace &place, Entries::const_iterator begin, Entries::const_iterator end,
                                 QList<TFileInfo> &hits)
{
    if (!options_.archives)
        return;
    for (auto it = begin; it != end; ++it) {
        if (searchStopRequested())
            return;
        const DirListing::Entry &entry = **it;
        const std::string_view raw = place.listing.rawNameView(entry);
        if (!archiveMayHaveHits(raw, &options_))
            continue;
        const std::string fullPath = joinedRaw(place.rawPath, raw);
        beginFile(place, raw, entry, hits.size(), TFileInfo::Kind::Archive);
        searchArchiveFile(openablePath(place, fullPath, raw), hits, &options_);
        endFile(hits);
    }
}

void EntrySearch::offer(QList<TFileInfo> &hits)
{
    for (; counted_ < hits.size(); ++counted_)
        textBytes_ += textBytesOf(hits.at(counted_));
    if (!pastBound(hits, textBytes_))
        return;
    // The hits of the file being searched leave marked, before the list is emptied.
    markRawPaths(hits, fileStart_);
    if (!searchStopRequested())
        overflow_(hits);
    hits.clear();
    restart();
}

void EntrySearch::markRawPaths(QList<TFileInfo> &hits, qsizetype from) const
{
    if (fileRawPath_.isEmpty() && fileKind_ == TFileInfo::Kind::File)
        return;
    for (qsizetype i = from; i < hits.size(); ++i) {
        hits[i].kind = fileKind_;
        if (!fileRawPath_.isEmpty())
            hits[i].rawPath = fileRawPath_;
    }
}
