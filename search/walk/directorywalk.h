#pragma once

#include "walk/directoryhandle.h"
#include "walk/entrysearch.h"
#include "walk/fileinfo.h"

#include <QString>

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_set>

class DirListing;
class MountTable;
class RootTrees;
struct TSearchOptions;

// The walk of one search over its roots, depth first, each directory's hits sent after those
// of its subdirectories. Directories are opened relative to their parent's descriptor, so
// neither the depth nor the length of a path limits it, and names that are not valid in the
// locale's encoding are searched by their bytes. No directory (device and inode) is searched
// twice: not through links, not through roots that overlap; a folder that the walk reaches by
// itself is searched under its own path, not through a link to it.
class DirectoryWalk
{
public:
    // Receives a batch: the directory's native path and its hits (the list may be emptied).
    using BatchSink = std::function<void(const QString &dirName, QList<TFileInfo> &hits)>;

    DirectoryWalk(TSearchOptions &options, const MountTable &mounts, const RootTrees &trees, bool recursive,
                  BatchSink sink);
    ~DirectoryWalk();

    // Searches the root at `absolutePath`, unless an earlier root's walk searched it already.
    void searchRoot(const QString &absolutePath);

private:
    struct Frame;
    using Key = DirectoryKey;
    using KeyHash = DirectoryKeyHash;

    struct Paths;

    void walk(Frame &root);
    bool mayEnter(const Frame &frame, bool throughLink) const;
    Paths pathsOf(const Frame &frame) const;
    void searchDirectory(Frame &frame);
    void send(QList<TFileInfo> &hits);

    TSearchOptions &options_;
    const MountTable &mounts_;
    const RootTrees &trees_;
    const bool recursive_;
    BatchSink sink_;
    std::unordered_set<Key, KeyHash> entered_;   // every directory searched in this search
    std::unordered_set<Key, KeyHash> roots_;     // the roots searched so far

    std::string rootPath_;       // of the root being walked
    QString rootDisplay_;

    QString batchDir_;           // the directory whose hits are being gathered
    EntrySearch entries_;        // its file and archive passes, with the batch bound
};
