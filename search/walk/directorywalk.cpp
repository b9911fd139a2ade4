#include "walk/directorywalk.h"

#include "walk/dirlisting.h"
#include "walk/mounttable.h"
#include "walk/roottrees.h"
#include "walk/searchoptions.h"
#include "walk/stoprequest.h"

#include <QDir>
#include <QFile>

#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// One directory on the way from a root to the one being walked, with its listing.
struct DirectoryWalk::Frame
{
    const Frame *parent;
    std::string_view name;   // in file-system bytes, as the parent lists it ("" for a root)
    unsigned depth;
    int fd;                  // -1 while closed during a deep descent
    Key key;
    bool faithful;           // every name from the root down decodes faithfully
    DirListing listing;
    std::vector<const DirListing::Entry *> subdirectories;
    size_t nextSubdirectory = 0;
};

// A directory's path, built from the chain when its entries are searched: frames keep only
// their names, so a deep tree costs memory in proportion to its depth, not its square.
struct DirectoryWalk::Paths
{
    std::string raw;
    QString display;   // "/"-separated, names decoded
};

DirectoryWalk::DirectoryWalk(TSearchOptions &options, const MountTable &mounts, const RootTrees &trees, bool recursive,
                             BatchSink sink)
    : options_(options)
    , mounts_(mounts)
    , trees_(trees)
    , recursive_(recursive)
    , sink_(std::move(sink))
    , entries_(options, [this](QList<TFileInfo> &hits) { sink_(batchDir_, hits); })
{
}

DirectoryWalk::~DirectoryWalk() = default;

void DirectoryWalk::searchRoot(const QString &absolutePath)
{
    const RootDirectory opened = openRootDirectory(absolutePath);
    if (opened.fd < 0)
        return;
    if (entered_.count(opened.key)) {
        ::close(opened.fd);   // an earlier root's walk searched it already
        return;
    }
    rootPath_ = opened.raw.toStdString();
    rootDisplay_ = opened.display;
    Frame root{nullptr, {}, 0, opened.fd, opened.key, true, DirListing(), {}};
    roots_.insert(root.key);
    entered_.insert(root.key);
    walk(root);
}

bool DirectoryWalk::mayEnter(const Frame &frame, bool throughLink) const
{
    for (const Frame *a = frame.parent; a; a = a->parent) {
        if (a->key == frame.key)
            return false;   // a cycle
    }
    if (roots_.count(frame.key))
        return false;       // an earlier root, met again
    if (throughLink && (entered_.count(frame.key) || trees_.reachesWithoutLinks(frame.fd)))
        return false;       // a link into what this search searches anyway
    return frame.key.device == frame.parent->key.device
           || !mounts_.isPseudoFileSystem(frame.key.device, frame.fd);
}

void DirectoryWalk::walk(Frame &root)
{
    // Depth first with a stack of its own, not the call stack, so that depth cannot overflow it.
    std::deque<Frame> stack;   // references stay valid while the end grows and shrinks
    stack.push_back(std::move(root));
    auto enter = [this](Frame &frame) {
        frame.listing = DirListing::readAt(frame.fd);
        if (recursive_)
            frame.subdirectories = frame.listing.subdirectories();
    };
    enter(stack.back());
    while (!stack.empty()) {
        Frame &frame = stack.back();
        if (searchStopRequested()) {
            for (Frame &f : stack) {
                if (f.fd >= 0)
                    ::close(f.fd);
            }
            return;
        }
        if (frame.nextSubdirectory < frame.subdirectories.size()) {
            const DirListing::Entry *sub = frame.subdirectories[frame.nextSubdirectory++];
            if (frame.fd < 0 && (frame.fd = reopenDirectory(frame)) < 0) {
                frame.nextSubdirectory = frame.subdirectories.size();   // vanished: nothing more here
                continue;
            }
            const std::string name(frame.listing.rawNameView(*sub));
            Key key;
            const int fd = openDirectoryAt(frame.fd, name.c_str(), key);
            if (fd < 0)
                continue;
            Frame child{&frame, frame.listing.rawNameView(*sub), frame.depth + 1, fd, key,
                        frame.faithful && sub->decodable, DirListing(), {}};
            if (!mayEnter(child, sub->kind != DirListing::Kind::Directory)) {
                ::close(fd);
                continue;
            }
            entered_.insert(child.key);
            if (!keepsOpen(frame.depth)) {
                ::close(frame.fd);
                frame.fd = -1;
            }
            stack.push_back(std::move(child));
            enter(stack.back());
            continue;
        }
        searchDirectory(frame);
        stack.pop_back();
    }
}

void DirectoryWalk::searchDirectory(Frame &frame)
{
    const EntrySearch::Entries files = frame.listing.filePassEntries(options_.nameMatcher);
    const EntrySearch::Entries archives = frame.listing.archivePassEntries();
    if (files.empty() && archives.empty()) {
        if (frame.fd >= 0)
            ::close(frame.fd);
        frame.fd = -1;
        return;   // nothing to search here: no path need be built
    }
    if (frame.fd < 0 && (frame.fd = reopenDirectory(frame)) < 0)
        return;
    const Paths paths = pathsOf(frame);
    batchDir_ = QDir::toNativeSeparators(paths.display);
    entries_.restart();
    QList<TFileInfo> hits;
    const EntryPlace place{frame.listing, frame.fd, paths.raw, frame.faithful};
    entries_.searchFiles(place, files.begin(), files.end(), hits);
    entries_.searchArchives(place, archives.begin(), archives.end(), hits);
    send(hits);
    ::close(frame.fd);
    frame.fd = -1;
}

DirectoryWalk::Paths DirectoryWalk::pathsOf(const Frame &frame) const
{
    std::vector<const Frame *> chain;
    for (const Frame *f = &frame; f->parent; f = f->parent)
        chain.push_back(f);
    std::string tail;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        tail += '/';
        tail += (*it)->name;
    }
    Paths paths{rootPath_, rootDisplay_};
    if (!paths.raw.empty() && paths.raw.back() == '/' && !tail.empty())
        tail.erase(0, 1);
    paths.raw += tail;
    // Decoding the names joined gives the names decoded and joined: '/' ends any broken sequence.
    paths.display += QFile::decodeName(QByteArray::fromStdString(tail));
    return paths;
}

void DirectoryWalk::send(QList<TFileInfo> &hits)
{
    if (hits.isEmpty())
        return;
    if (!searchStopRequested())
        sink_(batchDir_, hits);
    hits.clear();
}
