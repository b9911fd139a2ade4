#include "walk/parallelwalk.h"

#include "archive/extractionplace.h"
#include "content/contentsearch.h"
#include "walk/dirlisting.h"
#include "walk/entrysearch.h"
#include "walk/mounttable.h"
#include "walk/roottrees.h"
#include "walk/stoprequest.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

qint64 heldBytesOf(const QList<TFileInfo> &hits)
{
    qint64 bytes = 0;
    for (const TFileInfo &hit : hits)
        bytes += 64 + (hit.fileName.size() + hit.lineText.size()) * qint64(sizeof(QChar)) + hit.rawPath.size();
    return bytes;
}

constexpr auto stopPoll = std::chrono::milliseconds(10);

} // namespace

// One hit list of a directory in the making: a run of its files or one archive.
struct Part
{
    // Finished hits, in order; those from `taken` on are not yet taken by the reorder. (A vector:
    // most parts have no hits, and an empty deque allocates.)
    std::vector<QList<TFileInfo>> pieces;
    size_t taken = 0;
    bool done = false;
};

struct ParallelWalk::Node
{
    enum class State { Waiting, Deciding, Entering, Listed, Skipped };

    Node *parent = nullptr;
    std::string name;        // in file-system bytes ("" for a root)
    unsigned depth = 0;
    bool faithful = true;
    bool throughLink = false;
    State state = State::Waiting;
    Key key{};
    int fd = -1;             // held while work below needs it (see keepsOpen)
    DirListing listing;
    EntrySearch::Entries files;
    EntrySearch::Entries archives;
    size_t fileParts = 0;    // parts [0, fileParts) are runs of files, the rest archives
    std::vector<Part> parts;
    std::vector<std::unique_ptr<Node>> children;   // subdirectories in listing order
    unsigned unfinished = 0; // its listing, its part jobs and its children not yet done
    qint64 listingBytes = 0; // held until its work is done
    qint64 nodeBytes = 0;    // held until the reorder has sent it
    size_t nextPart = 0;     // reorder: the part whose hits are sent next

    ~Node()
    {
        if (fd >= 0)
            ::close(fd);   // a stopped walk
    }
};

namespace {

// Frees a tree level by level: a deep one would overflow the stack freed recursively.
void releaseTree(std::unique_ptr<ParallelWalk::Node> root)
{
    std::vector<std::unique_ptr<ParallelWalk::Node>> nodes;
    nodes.push_back(std::move(root));
    for (size_t i = 0; i < nodes.size(); ++i) {
        for (auto &child : nodes[i]->children) {
            if (child)
                nodes.push_back(std::move(child));
        }
    }
}

} // namespace

// One worker thread: its own copy of the options, content search and extraction files.
class ParallelWalk::Worker
{
public:
    explicit Worker(ParallelWalk &walk)
        : walk_(walk)
        , options_(walk.workerOptions_)
    {
    }

    void run()
    {
        stoprequest::sharedFlag = &walk_.stopFlag_;
        std::unique_ptr<ContentSearch> content;
        if (!options_.grepText.isEmpty())
            content = std::make_unique<ContentSearch>(options_);
        options_.contentSearch = content.get();
        options_.extraction = std::make_shared<ExtractionPlace>(options_.tempDir, walk_.extractionNumbers_);
        {
            EntrySearch entries(options_, [this](QList<TFileInfo> &hits) { handOver(hits); });
            entries_ = &entries;
            Job job;
            while (walk_.takeJob(job, end_)) {
                if (job.part < 0)
                    enter(*job.node);
                else
                    searchPart(*job.node, size_t(job.part));
            }
            entries_ = nullptr;
        }
        options_.contentSearch = nullptr;
        options_.extraction.reset();
    }

private:
    int borrowFd(const Node &node, bool &own) const;
    void enter(Node &node);
    void list(Node &node, int fd);
    void skip(Node &node);
    void searchPart(Node &node, size_t part);
    void handOver(QList<TFileInfo> &hits);
    std::string rawPathOf(const Node &node) const;

    ParallelWalk &walk_;
    TSearchOptions options_;
    EntrySearch *entries_ = nullptr;
    Node *partNode_ = nullptr;   // the part being searched
    size_t part_ = 0;
    // The end of the job just done, run by takeJob with the lock held for the next one.
    std::function<JobEnd()> end_;
    std::vector<Job> newJobs_;      // a listing's jobs, and its name hits, for its end
    QList<TFileInfo> nameHits_;
    QList<TFileInfo> partHits_;     // a part's last hits, for its end
};

std::string ParallelWalk::Worker::rawPathOf(const Node &node) const
{
    std::vector<const Node *> chain;
    for (const Node *n = &node; n->parent; n = n->parent)
        chain.push_back(n);
    std::string path = walk_.rootPath_;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (path.empty() || path.back() != '/')
            path += '/';
        path += (*it)->name;
    }
    return path;
}

// The node's descriptor: its own while it keeps one open (and work below it keeps it so), or a
// new one opened from the nearest ancestor that keeps one (`own`: the caller closes it).
int ParallelWalk::Worker::borrowFd(const Node &node, bool &own) const
{
    own = false;
    if (node.fd >= 0)
        return node.fd;
    const int fd = reopenDirectory(node);
    own = fd >= 0;
    return fd;
}

void ParallelWalk::Worker::skip(Node &node)
{
    end_ = [this, &node] {
        node.state = Node::State::Skipped;
        const bool wake = walk_.finishOne(node.parent);
        return JobEnd{walk_.awaits(&node) || wake, 0};
    };
}

void ParallelWalk::Worker::enter(Node &node)
{
    if (!node.parent) {
        list(node, node.fd);   // a root, opened by searchRoot
        return;
    }
    bool own = false;
    const int parentFd = borrowFd(*node.parent, own);
    Key key;
    const int fd = parentFd < 0 ? -1 : openDirectoryAt(parentFd, node.name.c_str(), key);
    if (own)
        ::close(parentFd);
    if (fd < 0) {
        skip(node);
        return;
    }
    if (node.state == Node::State::Entering && !(key == node.key)) {
        ::close(fd);   // a link entered by the reorder that now leads elsewhere
        skip(node);
        return;
    }
    node.key = key;
    bool enter = !walk_.roots_.count(key)
                 && (key.device == node.parent->key.device || !walk_.mounts_.isPseudoFileSystem(key.device, fd));
    for (const Node *a = node.parent; a && enter; a = a->parent)
        enter = !(a->key == key);   // a cycle
    if (enter && node.throughLink)
        enter = !walk_.trees_.reachesWithoutLinks(fd);   // searched under its own path
    if (!enter) {
        ::close(fd);
        skip(node);
        return;
    }
    if (node.throughLink && node.state == Node::State::Waiting) {
        // Whether a directory with this key came earlier is known once the reorder reaches it.
        ::close(fd);
        end_ = [this, &node] {
            node.state = Node::State::Deciding;
            return JobEnd{walk_.awaits(&node), 0};
        };
        return;
    }
    list(node, fd);
}

void ParallelWalk::Worker::list(Node &node, int fd)
{
    const TSearchOptions &options = walk_.options_;
    node.listing = DirListing::readAt(fd);
    if (walk_.recursive_) {
        for (const DirListing::Entry *sub : node.listing.subdirectories()) {
            auto child = std::make_unique<Node>();
            child->parent = &node;
            child->name = std::string(node.listing.rawNameView(*sub));
            child->depth = node.depth + 1;
            child->faithful = node.faithful && sub->decodable;
            child->throughLink = sub->kind != DirListing::Kind::Directory;
            node.children.push_back(std::move(child));
        }
    }
    node.files = node.listing.filePassEntries(options.nameMatcher);
    if (options.archives)
        node.archives = node.listing.archivePassEntries();
    node.listingBytes = qint64(node.listing.entries().size()) * 48;
    std::vector<Job> &jobs = newJobs_;
    jobs.clear();
    QList<TFileInfo> &nameHits = nameHits_;   // of part 0, published with the listing
    nameHits.clear();
    if (options.grepText.isEmpty()) {
        // Names alone: the file pass costs less than a job; it is done here.
        if (!node.files.empty()) {
            node.parts.resize(1 + node.archives.size());
            node.fileParts = 1;
            const std::string rawPath = rawPathOf(node);
            partNode_ = &node;
            part_ = 0;
            entries_->restart();
            entries_->searchFiles(EntryPlace{node.listing, fd, rawPath, node.faithful}, node.files.begin(),
                                  node.files.end(), nameHits);
        } else {
            node.parts.resize(node.archives.size());
        }
    } else {
        node.fileParts = (node.files.size() + filesPerJob - 1) / filesPerJob;
        node.parts.resize(node.fileParts + node.archives.size());
        for (size_t i = 0; i < node.fileParts; ++i)
            jobs.push_back(Job{&node, int(i)});
    }
    for (size_t i = 0; i < node.archives.size(); ++i)
        jobs.push_back(Job{&node, int(node.parts.size() - node.archives.size() + i)});
    const bool keep = keepsOpen(node.depth) && (!jobs.empty() || !node.children.empty());
    if (!keep)
        ::close(fd);
    const size_t newJobs = jobs.size() + node.children.size();
    const qint64 nameHitBytes = nameHits.isEmpty() ? 0 : heldBytesOf(nameHits);
    // A listed directory stays until the reorder has sent it: when the reorder lags behind the
    // workers, the directories waiting for it count against the bound too.
    node.nodeBytes = qint64(sizeof(Node) + node.name.capacity() + node.children.capacity() * sizeof(void *)
                            + node.parts.capacity() * sizeof(Part));

    end_ = [this, &node, keep, fd, newJobs, nameHitBytes] {
        node.fd = keep ? fd : -1;
        node.unfinished = 1 + unsigned(newJobs);
        walk_.heldBytes_ += node.listingBytes + node.nodeBytes + nameHitBytes;
        if (node.fileParts && walk_.options_.grepText.isEmpty()) {
            if (!nameHits_.isEmpty())
                node.parts[0].pieces.push_back(std::move(nameHits_));
            node.parts[0].done = true;
        }
        // The stack's top is taken first: the first subdirectory, ..., the last, then the parts.
        for (auto it = newJobs_.rbegin(); it != newJobs_.rend(); ++it)
            walk_.jobs_.push_back(*it);
        for (auto it = node.children.rbegin(); it != node.children.rend(); ++it)
            walk_.jobs_.push_back(Job{it->get(), -1});
        node.state = Node::State::Listed;
        const bool wake = walk_.finishOne(&node);
        return JobEnd{walk_.awaits(&node) || wake, newJobs};
    };
}

void ParallelWalk::Worker::searchPart(Node &node, size_t part)
{
    bool own = false;
    const int fd = borrowFd(node, own);
    QList<TFileInfo> hits;
    partNode_ = &node;
    part_ = part;
    if (fd >= 0) {
        const std::string rawPath = rawPathOf(node);
        const EntryPlace place{node.listing, fd, rawPath, node.faithful};
        entries_->restart();
        if (part < node.fileParts) {
            const size_t begin = part * filesPerJob;
            const size_t end = std::min(begin + filesPerJob, node.files.size());
            entries_->searchFiles(place, node.files.begin() + begin, node.files.begin() + end, hits);
        } else {
            const auto archive = node.archives.begin() + (part - node.fileParts);
            entries_->searchArchives(place, archive, archive + 1, hits);
        }
        if (own)
            ::close(fd);
    }
    // The part's last hits, its end and the directory's count, in one step.
    const qint64 bytes = hits.isEmpty() ? 0 : heldBytesOf(hits);
    partHits_ = std::move(hits);
    end_ = [this, &node, part, bytes] {
        Part &done = node.parts[part];
        if (!partHits_.isEmpty()) {
            done.pieces.push_back(std::move(partHits_));
            walk_.heldBytes_ += bytes;
        }
        done.done = true;
        const bool wake = walk_.awaits(&node, int(part));
        return JobEnd{walk_.finishOne(&node) || wake, 0};
    };
}

// Hands hits past the batch bound to the reorder while the part goes on.
void ParallelWalk::Worker::handOver(QList<TFileInfo> &hits)
{
    const qint64 bytes = hits.isEmpty() ? 0 : heldBytesOf(hits);
    bool wake = false;
    {
        std::lock_guard<SpinningMutex> lock(walk_.mutex_);
        if (!hits.isEmpty()) {
            partNode_->parts[part_].pieces.push_back(std::move(hits));
            walk_.heldBytes_ += bytes;
        }
        wake = walk_.awaits(partNode_, int(part_));
    }
    hits = QList<TFileInfo>();
    if (wake)
        walk_.progress_.notify_one();
}

ParallelWalk::ParallelWalk(const TSearchOptions &options, const MountTable &mounts, const RootTrees &trees,
                           bool recursive, unsigned workers, BatchSink sink)
    : options_(options)
    , mounts_(mounts)
    , trees_(trees)
    , recursive_(recursive)
    , sink_(std::move(sink))
    , workerOptions_(options)
    , diagnosticsMutex_(std::make_shared<std::mutex>())
    , extractionNumbers_(std::make_shared<std::atomic<unsigned>>(0))
{
    workerOptions_.contentSearch = nullptr;
    workerOptions_.extraction.reset();
    workerOptions_.offerHits = nullptr;
    if (options.diagnostics) {
        // Messages from several workers, one at a time, none once the search is stopped.
        workerOptions_.diagnostics = [sinkOf = options.diagnostics, m = diagnosticsMutex_](const QByteArray &text) {
            std::lock_guard<std::mutex> lock(*m);
            if (!searchStopRequested())
                sinkOf(text);
        };
    }
    for (unsigned i = 0; i < std::max(workers, 1u); ++i) {
        workers_.push_back(std::make_unique<Worker>(*this));
        threads_.emplace_back([w = workers_.back().get()] { w->run(); });
    }
}

ParallelWalk::~ParallelWalk()
{
    {
        std::unique_lock<SpinningMutex> lock(mutex_);
        quitting_ = true;
        workReady_.notify_all();
    }
    for (std::thread &thread : threads_)
        thread.join();
}

bool ParallelWalk::mayTake(const Job &job) const
{
    if (heldBytes_ < heldBytesBound || !reorderAt_)
        return true;
    // Past the bound only what the next batch waits for: jobs in the reorder's subtree.
    for (const Node *n = job.node; n; n = n->parent) {
        if (n == reorderAt_)
            return true;
    }
    return false;
}

bool ParallelWalk::takeJob(Job &job, std::function<JobEnd()> &endPrevious)
{
    std::unique_lock<SpinningMutex> lock(mutex_);
    JobEnd ended;
    if (endPrevious) {
        ended = endPrevious();
        endPrevious = nullptr;
        --busy_;
        if (stopping_)
            progress_.notify_one();   // stopWorkers waits for the last job
    }
    for (;;) {
        if (quitting_) {
            if (ended.wakeReorder)
                progress_.notify_one();
            return false;
        }
        if (!stopping_) {
            for (auto it = jobs_.rbegin(); it != jobs_.rend(); ++it) {
                if (mayTake(*it)) {
                    job = *it;
                    jobs_.erase(std::next(it).base());
                    ++busy_;
                    // This worker takes one of the jobs it made; idle ones are told of the rest.
                    const size_t forOthers = idle_ > 0 && ended.newJobs > 1 ? ended.newJobs - 1 : 0;
                    lock.unlock();
                    if (ended.wakeReorder)
                        progress_.notify_one();
                    if (forOthers == 1)
                        workReady_.notify_one();
                    else if (forOthers > 1)
                        workReady_.notify_all();
                    return true;
                }
            }
        }
        if (ended.wakeReorder) {
            ended.wakeReorder = false;
            progress_.notify_one();
        }
        if (reorderOwed_) {
            reorderOwed_ = false;   // nothing else will come soon: the reorder is told now
            progress_.notify_one();
        }
        ++idle_;
        workReady_.wait(lock);
        --idle_;
    }
}

bool ParallelWalk::awaits(const Node *node, int part)
{
    if (stopping_)
        return true;
    if (!node || node != awaited_ || (part >= 0 && awaitedPart_ >= 0 && part != awaitedPart_))
        return false;
    if (std::chrono::steady_clock::now() - awaitSince_ >= reorderLag)
        return true;
    reorderOwed_ = true;
    return false;
}

void ParallelWalk::await(const Node *node, int part)
{
    if (node != awaited_ || part != awaitedPart_)
        awaitSince_ = std::chrono::steady_clock::now();
    awaited_ = node;
    awaitedPart_ = part;
    reorderOwed_ = false;
}

bool ParallelWalk::finishOne(Node *node)
{
    bool wake = false;
    for (; node; node = node->parent) {
        if (--node->unfinished > 0)
            return wake;
        wake = awaits(node) || wake;
        if (node->fd >= 0)
            ::close(node->fd);
        node->fd = -1;
        heldBytes_ -= node->listingBytes;
        node->listingBytes = 0;
        node->listing = DirListing();
        node->files = {};
        node->archives = {};
    }
    return wake;
}

void ParallelWalk::searchRoot(const QString &absolutePath)
{
    const RootDirectory opened = openRootDirectory(absolutePath);
    if (opened.fd < 0)
        return;
    if (entered_.count(opened.key)) {
        ::close(opened.fd);   // an earlier root's walk searched it already
        return;
    }
    auto root = std::make_unique<Node>();
    root->key = opened.key;
    root->fd = opened.fd;
    root->state = Node::State::Entering;
    std::unique_lock<SpinningMutex> lock(mutex_);
    rootPath_ = opened.raw.toStdString();
    rootDisplay_ = opened.display;
    roots_.insert(root->key);
    entered_.insert(root->key);
    jobs_.push_back(Job{root.get(), -1});
    workReady_.notify_one();
    reorder(*root, lock);
    if (stopping_)
        stopWorkers(lock);
    else if (root->unfinished > 0) {
        await(root.get());
        while (root->unfinished > 0)
            progress_.wait_for(lock, stopPoll);
    }
    reorderAt_ = nullptr;
    await(nullptr);
    lock.unlock();
    releaseTree(std::move(root));
}

// Sends the batches in post-order: a directory's once those of all its subdirectories are sent.
void ParallelWalk::reorder(Node &root, std::unique_lock<SpinningMutex> &lock)
{
    struct Visit
    {
        Node *node;
        size_t nextChild;
    };
    std::vector<Visit> path{Visit{&root, 0}};
    QList<TFileInfo> pending;   // the next batch, gathered from the parts of the directory
    qint64 pendingText = 0;
    // Sent directories are freed a few dozen at a time with the lock released: the workers
    // need it far more often than this thread, and freeing memory that they allocated is slow.
    std::vector<std::unique_ptr<Node>> sent;
    const auto freeSent = [&] {
        lock.unlock();
        sent.clear();
        lock.lock();
    };
    while (!path.empty()) {
        if (searchStopRequested()) {
            stopping_ = true;
            return;
        }
        Visit &visit = path.back();
        Node &node = *visit.node;
        if (reorderAt_ != &node) {
            reorderAt_ = &node;
            if (heldBytes_ >= heldBytesBound)
                workReady_.notify_all();   // other jobs may be taken now
        }
        if (node.state != Node::State::Listed) {
            await(&node);
            progress_.wait_for(lock, stopPoll);
            continue;
        }
        if (visit.nextChild < node.children.size()) {
            Node &child = *node.children[visit.nextChild];
            switch (child.state) {
            case Node::State::Skipped:
                node.children[visit.nextChild++].reset();
                break;
            case Node::State::Deciding:
                if (entered_.count(child.key)) {
                    child.state = Node::State::Skipped;   // a link into what was searched already
                    finishOne(&node);
                } else {
                    child.state = Node::State::Entering;
                    jobs_.push_back(Job{&child, -1});
                    workReady_.notify_all();
                }
                break;
            case Node::State::Listed:
                ++visit.nextChild;
                path.push_back(Visit{&child, 0});
                break;
            default:
                await(&child);
                progress_.wait_for(lock, stopPoll);
                break;
            }
            continue;
        }
        const bool partsSent = emitParts(node, pending, pendingText, lock);
        if (!partsSent || node.unfinished > 0) {
            await(&node, partsSent ? -1 : int(node.nextPart));
            if (!searchStopRequested())
                progress_.wait_for(lock, stopPoll);
            continue;
        }
        if (!pending.isEmpty())
            send(node, pending, lock);
        pendingText = 0;
        entered_.insert(node.key);
        if (heldBytes_ >= heldBytesBound)
            workReady_.notify_all();   // it was past the bound: workers waiting for room may go on
        heldBytes_ -= node.nodeBytes;
        node.nodeBytes = 0;
        path.pop_back();
        if (!path.empty()) {
            sent.push_back(std::move(path.back().node->children[path.back().nextChild - 1]));
            if (sent.size() >= 64)
                freeSent();
        }
    }
}

// Moves the finished hits of the node's parts, in order, into batches; true when all are in.
bool ParallelWalk::emitParts(Node &node, QList<TFileInfo> &pending, qint64 &pendingText,
                             std::unique_lock<SpinningMutex> &lock)
{
    while (node.nextPart < node.parts.size()) {
        Part &part = node.parts[node.nextPart];
        while (part.taken < part.pieces.size()) {
            QList<TFileInfo> piece = std::move(part.pieces[part.taken++]);
            if (part.taken == part.pieces.size()) {
                part.pieces.clear();
                part.taken = 0;
            }
            const qint64 pieceBytes = heldBytesOf(piece);
            if (heldBytes_ >= heldBytesBound)
                workReady_.notify_all();   // it was past the bound: workers waiting for room may go on
            heldBytes_ -= pieceBytes;
            for (const TFileInfo &hit : piece)
                pendingText += EntrySearch::textBytesOf(hit);
            if (pending.isEmpty())
                pending = std::move(piece);
            else
                pending.append(piece);
            if (EntrySearch::pastBound(pending, pendingText)) {
                send(node, pending, lock);
                pendingText = 0;
            }
        }
        if (!part.done)
            return false;
        ++node.nextPart;
    }
    return true;
}

void ParallelWalk::send(Node &node, QList<TFileInfo> &hits, std::unique_lock<SpinningMutex> &lock)
{
    QList<TFileInfo> batch = std::move(hits);
    hits = QList<TFileInfo>();
    // Names and parents of a listed directory do not change, and only this thread frees it.
    lock.unlock();
    std::vector<const Node *> chain;
    for (const Node *n = &node; n->parent; n = n->parent)
        chain.push_back(n);
    std::string tail;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        tail += '/';
        tail += (*it)->name;
    }
    if (!rootPath_.empty() && rootPath_.back() == '/' && !tail.empty())
        tail.erase(0, 1);
    // Decoding the names joined gives the names decoded and joined: '/' ends any broken sequence.
    const QString dirName = QDir::toNativeSeparators(rootDisplay_ + QFile::decodeName(QByteArray::fromStdString(tail)));
    if (!searchStopRequested())
        sink_(dirName, batch);
    lock.lock();
}

// Asks every worker to stop and waits until none runs a job; the tree is then the caller's.
void ParallelWalk::stopWorkers(std::unique_lock<SpinningMutex> &lock)
{
    stopping_ = true;
    jobs_.clear();
    stopFlag_.store(true, std::memory_order_relaxed);
    workReady_.notify_all();
    progress_.wait(lock, [this] { return busy_ == 0; });
}
