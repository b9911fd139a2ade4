#pragma once

#include "walk/searchthread.h"

#include <atomic>
#include <mutex>
#include <QTest>

// Runs a search to its end and keeps its batches in emission order. The hand-back goes through
// a standard mutex and an atomic flag, which the thread sanitizer sees (it cannot see Qt's wait).
struct Batch
{
    QString dirName;
    QList<TFileInfo> hits;
    bool operator==(const Batch &other) const { return dirName == other.dirName && hits == other.hits; }
};

inline QList<Batch> runSearch(const QList<QDir> &roots, const QStringList &patterns, bool recursive = true,
                              bool exactName = false, const QString &text = QString(),
                              const QString &tempDir = QString(), int workers = 0,
                              Qt::CaseSensitivity cs = Qt::CaseSensitive, bool deep = false)
{
    searchThread worker;
    worker.setSearchParam(roots, patterns, text, cs, recursive, exactName, deep);
    worker.setTempDir(tempDir);
    worker.setDiagnostics(nullptr);
    if (workers > 0)
        worker.setWorkerCount(workers);
    QList<Batch> batches;
    std::mutex mutex;
    std::atomic<bool> done{false};
    QObject::connect(&worker, &searchThread::PushGotFiles, &worker,
                     [&](const QString &dir, const QList<TFileInfo> &hits) {
                         std::lock_guard<std::mutex> lock(mutex);
                         batches.append(Batch{dir, hits});
                     },
                     Qt::DirectConnection);
    QObject::connect(&worker, &QThread::finished, &worker, [&] { done = true; }, Qt::DirectConnection);
    worker.start();
    worker.wait();
    while (!done.load())
        QThread::yieldCurrentThread();
    std::lock_guard<std::mutex> lock(mutex);
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
