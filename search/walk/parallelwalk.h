#pragma once

#include "walk/directorywalk.h"
#include "walk/spinningmutex.h"
#include "walk/searchoptions.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/types.h>
#include <thread>
#include <unordered_set>
#include <vector>

class MountTable;
class RootTrees;

// The walk of DirectoryWalk spread over several worker threads, with the same batches in the
// same order. Workers take jobs from one shared stack: "enter directory D" (open, list, make
// the jobs below) and "search part P of D" (a run of files, or one archive). The calling
// thread reorders: it walks the tree of listed directories in post-order and sends each
// directory's hits once its subdirectories are sent, streaming a directory's parts in order.
// A link to a directory is entered or not exactly as the serial walk decides (not when a
// directory with its device and inode came earlier); the reorder decides it when it reaches
// the link, when everything before it is known.
class ParallelWalk
{
public:
    using BatchSink = DirectoryWalk::BatchSink;

    // `options` is copied for each worker, which makes its own content search and extraction
    // files (numbered after the first worker's).
    ParallelWalk(const TSearchOptions &options, const MountTable &mounts, const RootTrees &trees, bool recursive,
                 unsigned workers, BatchSink sink);
    ~ParallelWalk();
    ParallelWalk(const ParallelWalk &) = delete;
    ParallelWalk &operator=(const ParallelWalk &) = delete;

    // Searches the root, unless an earlier root's walk searched it already; returns when its
    // last batch is sent or the calling thread is asked to stop (then every worker stops too).
    void searchRoot(const QString &absolutePath);

    // Finished hits and listings held for the reorder past which workers only take jobs that
    // the next batch waits for.
    static constexpr qint64 heldBytesBound = 4 << 20;
    // Files of a directory searched by one job.
    static constexpr size_t filesPerJob = 8;

    using Key = DirectoryKey;

    struct Node;

private:
    using KeyHash = DirectoryKeyHash;
    struct Job
    {
        Node *node;
        int part;   // -1: enter the directory
    };
    class Worker;

    // Reorder side (calling thread).
    void reorder(Node &root, std::unique_lock<SpinningMutex> &lock);
    bool emitParts(Node &node, QList<TFileInfo> &pending, qint64 &pendingText, std::unique_lock<SpinningMutex> &lock);
    void send(Node &node, QList<TFileInfo> &hits, std::unique_lock<SpinningMutex> &lock);
    void stopWorkers(std::unique_lock<SpinningMutex> &lock);

    // Worker side.
    // What the end of a job asks for: a wake-up of the reorder, and how many jobs it added.
    struct JobEnd
    {
        bool wakeReorder = false;
        size_t newJobs = 0;
    };
    // Ends the previous job (if any) and takes the next under one lock; false: the walk ends.
    bool takeJob(Job &job, std::function<JobEnd()> &endPrevious);
    bool mayTake(const Job &job) const;
    // With the lock held: counts one piece of work of `node` done; true when the reorder
    // waits for that (a directory it waits for has all its work done).
    bool finishOne(Node *node);
    // With the lock held: whether the reorder is to be woken for this change of `node` (part
    // -1: its state). The caller wakes it after unlocking, so that it does not wake into a held
    // lock. A change within `reorderLag` of the start of its wait is owed instead (see below).
    bool awaits(const Node *node, int part = -1);
    void await(const Node *node, int part = -1);   // reorder: what its next wait is for

    friend class Worker;

    const TSearchOptions &options_;
    const MountTable &mounts_;
    const RootTrees &trees_;
    const bool recursive_;
    BatchSink sink_;
    TSearchOptions workerOptions_;   // the options the workers copy (diagnostics serialized)
    std::vector<std::unique_ptr<Worker>> workers_;
    std::vector<std::thread> threads_;
    std::atomic<bool> stopFlag_{false};      // the workers' stop request (see stoprequest.h)

    SpinningMutex mutex_;                     // guards everything below and the tree's states
    std::condition_variable_any workReady_;     // for workers: a job, or the end
    std::condition_variable_any progress_;     // for the reorder: a directory or part changed
    std::vector<Job> jobs_;                  // a stack: the earliest job in post-order on top
    unsigned busy_ = 0;                      // jobs running
    unsigned idle_ = 0;                      // workers waiting for a job
    bool stopping_ = false;
    bool quitting_ = false;
    qint64 heldBytes_ = 0;
    const Node *reorderAt_ = nullptr;        // the directory the next batch comes from
    // What the reorder waits for: a change of this directory's state or count of unfinished
    // work, or of its part `awaitedPart_` (-1: any part). Only such changes wake it.
    const Node *awaited_ = nullptr;
    int awaitedPart_ = -1;
    // When the reorder keeps up with the workers, waking it for every directory costs more than
    // the reordering: a change it waits for is told at once only when it has waited `reorderLag`
    // already; an earlier one is owed, and told by its own poll, a later change, or the next
    // worker that runs out of jobs.
    static constexpr std::chrono::microseconds reorderLag{1000};
    std::chrono::steady_clock::time_point awaitSince_;
    bool reorderOwed_ = false;

    std::unordered_set<Key, KeyHash> entered_;   // every directory sent in this search
    std::unordered_set<Key, KeyHash> roots_;     // the roots searched so far
    std::string rootPath_;
    QString rootDisplay_;
    std::shared_ptr<std::mutex> diagnosticsMutex_;
    std::shared_ptr<std::atomic<unsigned>> extractionNumbers_;   // of the workers' extraction files
};
