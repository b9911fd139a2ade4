#pragma once

#include "walk/fileinfo.h"
#include "walk/searchoptions.h"

#include <QDir>
#include <QList>
#include <QRegExp>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <memory>

class DirListing;
class MountTable;
class NameFilter;

// The search worker: walks the roots depth first and sends one batch of hits per directory
// (children before their parent). One object serves every search; a stop is a thread
// interruption request, tested between entries, lines and archive entries.
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
    // Asks a running search to stop; returns at once. No batch is sent after the worker sees it.
    void stopSearch();

    const QStringList &searchNameFilters() const { return nameFilters; }
    const TSearchOptions &searchOptions() const { return *options; }

signals:
    void PushGotFiles(QString dirName, QList<TFileInfo> namelist);

protected:
    void run() override;

private:
    struct Ancestor;

    void searchDir(const QDir &dir);
    void walkDirectory(const std::string &path, const Ancestor *parent);
    QList<TFileInfo> searchFilesInDir(const DirListing &listing, const QString &displayPath);
    void searchArchivesInDir(const DirListing &listing, const QString &displayPath, QList<TFileInfo> &hits);

    QList<QDir> dirList;
    QStringList nameFilters;
    QList<QRegExp> nameRegExps;
    bool recursive = true;
    Qt::CaseSensitivity caseSensitivity = Qt::CaseSensitive;
    QString grepText;
    TCodecTexts codecTexts;
    bool deepSearch = false;
    std::unique_ptr<TSearchOptions> options;

    // Counts finished runs. The GUI thread reads it before it touches the request again, which
    // makes the hand-over from the worker visible to the thread sanitizer too (Qt's own wait is
    // not instrumented).
    std::atomic<unsigned> completedRuns{0};

    // Per search, built by run().
    std::unique_ptr<NameFilter> diskNameFilter;
    std::unique_ptr<MountTable> mounts;
};

