#pragma once

#include "walk/fileinfo.h"
#include "walk/searchoptions.h"

#include <QDir>
#include <QList>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <memory>

// The search worker: walks the roots depth first and sends each directory's hits as a batch
// (children before their parent; a directory with very many hits in several batches). One
// object serves every search; a stop is a thread interruption request, tested between
// entries, lines and archive entries.
class searchThread : public QThread
{
    Q_OBJECT

public:
    explicit searchThread(QObject *parent = nullptr);
    ~searchThread() override;

    void setSearchParam(const QList<QDir> &roots, const QStringList &namePatterns, const QString &text,
                        Qt::CaseSensitivity caseSensitivity, bool recursive, bool exactName,
                        bool deepSearch);
    // Folder of the archive search's extraction files.
    void setTempDir(const QString &dir);
    // Where the archive readers' messages go (standard output unless set).
    void setDiagnostics(DiagnosticSink sink);
    // Whether archives are opened and documents read for their text (both unless set).
    void setReadArchives(bool read) { options->archives = read; }
    void setReadDocuments(bool read) { options->documents = read; }
    // Threads that search (QThread::idealThreadCount() unless set). With 1 the search runs on
    // this thread alone; with more, batches come in the same order with the same hits.
    void setWorkerCount(int count) { workerCount = count > 0 ? count : QThread::idealThreadCount(); }
    int workers() const { return workerCount; }
    // Asks a running search to stop; returns at once. No batch is sent after the worker sees it.
    void stopSearch();

    const QStringList &searchNameFilters() const { return options->nameMatcher.patterns(); }
    const TSearchOptions &searchOptions() const { return *options; }

signals:
    void PushGotFiles(QString dirName, QList<TFileInfo> namelist);

protected:
    void run() override;

private:
    QList<QDir> dirList;
    bool recursive = true;
    std::unique_ptr<TSearchOptions> options;   // the rest of the request
    int workerCount = QThread::idealThreadCount();

    // Counts finished runs. The GUI thread reads it before it touches the request again, which
    // makes the hand-over from the worker visible to the thread sanitizer too (Qt's own wait is
    // not instrumented).
    std::atomic<unsigned> completedRuns{0};
};

