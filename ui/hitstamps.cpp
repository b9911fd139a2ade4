#include "hitstamps.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace {

// Names taken at a time by either thread; fewer names than two of these are read alone.
constexpr int grain = 32;

// The helper thread: made on first use and kept, idle, for the life of the process (it is
// never destroyed, so that it can still be waiting when the process ends).
class StampHelper
{
public:
    static StampHelper &instance()
    {
        static StampHelper *helper = new StampHelper;
        return *helper;
    }

    // Hands `work` to the helper when it is idle; false (and nothing runs) when it is busy.
    bool tryRun(std::function<void()> work)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (busy)
            return false;
        busy = true;
        job = std::move(work);
        wake.notify_one();
        return true;
    }
    // Until the work handed over is done.
    void wait()
    {
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [this] { return !busy; });
    }

private:
    StampHelper() { std::thread([this] { loop(); }).detach(); }

    void loop()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return bool(job); });
            const std::function<void()> work = std::move(job);
            job = nullptr;
            lock.unlock();
            work();
            lock.lock();
            busy = false;
            finished.notify_all();
        }
    }

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    std::function<void()> job;
    bool busy = false;
};

} // namespace

HitStampReader::HitStampReader(const QString &dirPath)
    : dirPath(dirPath)
    , own(dirPath)
{
}

HitStampReader::~HitStampReader() = default;

void HitStampReader::read(const QList<TFileInfo> &hits, int from, int to, std::vector<qint64> &stamps)
{
    stamps.resize(size_t(std::max(0, to - from)));
    std::atomic<int> next{from};
    const auto readSome = [&](HitTimeReader &reader) {
        for (int begin; (begin = next.fetch_add(grain, std::memory_order_relaxed)) < to;) {
            for (int i = begin; i < std::min(begin + grain, to); ++i)
                stamps[size_t(i - from)] = reader.stamp(hits.at(i).fileName.trimmed());
        }
    };
    // Only an idle helper helps: waiting for a busy one would cost more than it saves.
    const bool helping = to - from >= 2 * grain && QThread::idealThreadCount() > 1
                         && StampHelper::instance().tryRun([&] {
                                if (!helper)
                                    helper = std::make_unique<HitTimeReader>(dirPath);
                                readSome(*helper);
                            });
    readSome(own);
    if (helping)
        StampHelper::instance().wait();
}
