#pragma once

#include "walk/searchthread.h"

#include <atomic>
#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QTest>

// Runs a search to its end and keeps its batches in emission order.
struct Batch
{
    QString dirName;
    QList<TFileInfo> hits;
};

inline QList<Batch> runSearch(const QList<QDir> &roots, const QStringList &patterns, bool recursive = true,
                              bool exactName = false, const QString &text = QString(),
                              const QString &tempDir = QString(), int workers = 0)
{
    searchThread worker;
    worker.setSearchParam(roots, patterns, text, Qt::CaseSensitive, recursive, exactName, false);
    worker.setTempDir(tempDir);
    if (workers > 0)
        worker.setWorkerCount(workers);
    QList<Batch> batches;
    QMutex mutex;
    QObject::connect(&worker, &searchThread::PushGotFiles, &worker,
                     [&](const QString &dir, const QList<TFileInfo> &hits) {
                         QMutexLocker lock(&mutex);
                         batches.append(Batch{dir, hits});
                     },
                     Qt::DirectConnection);
    worker.start();
    worker.wait();
    return batches;
}

inline QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

inline QStringList hitNames(const QList<Batch> &batches)
{
    QStringList names;
    for (const Batch &b : batches) {
        for (const TFileInfo &hit : b.hits)
            names.append(b.dirName + QLatin1Char('/') + hit.fileName);
    }
    return names;
}

// Counts the worker's batches and notices its end. The counters are updated on the worker
// thread itself (direct connections), so the thread sanitizer sees every hand-over.
class WorkerObserver
{
public:
    explicit WorkerObserver(searchThread &worker)
        : worker_(worker)
    {
        QObject::connect(&worker, &searchThread::PushGotFiles, &worker,
                         [this](const QString &, const QList<TFileInfo> &) { ++batches; }, Qt::DirectConnection);
        QObject::connect(&worker, &QThread::finished, &worker, [this] { finished = true; }, Qt::DirectConnection);
    }

    bool waitFinished(int ms)
    {
        QDeadlineTimer deadline(ms);
        while (!finished && !deadline.hasExpired())
            QThread::msleep(1);
        return finished && worker_.wait(deadline);
    }
    void reset()
    {
        batches = 0;
        finished = false;
    }

    std::atomic<int> batches{0};
    std::atomic<bool> finished{false};

private:
    searchThread &worker_;
};
