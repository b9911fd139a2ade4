#include "walk/searchthread.h"

#include "content/contentsearch.h"
#include "content/recodetext.h"
#include "archive/extractionplace.h"
#include "content/systemcodec.h"
#include "walk/directorywalk.h"
#include "walk/mounttable.h"
#include "walk/parallelwalk.h"
#include "walk/roottrees.h"

#include <QTextCodec>

searchThread::searchThread(QObject *parent)
    : QThread(parent)
    , options(std::make_unique<TSearchOptions>())
{
}

searchThread::~searchThread()
{
    stopSearch();
    wait();
    completedRuns.load(std::memory_order_acquire);
}

void searchThread::setSearchParam(const QList<QDir> &roots, const QStringList &namePatterns,
                                  const QString &text, Qt::CaseSensitivity cs, bool recursiveSearch,
                                  bool exactName, bool deep)
{
    completedRuns.load(std::memory_order_acquire);
    dirList = roots;
    recursive = recursiveSearch;

    QStringList nameFilters;
    if (exactName) {
        nameFilters = namePatterns;
    } else {
        for (const QString &pattern : namePatterns) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty())
                nameFilters.append(QLatin1Char('*') + trimmed + QLatin1Char('*'));
        }
    }
    options->nameMatcher = NameMatcher(nameFilters);
    options->grepText = text;
    options->caseSensitivity = cs;
    options->deepSearch = deep;
    options->codecTexts.clear();
    if (deep) {
        QTextCodec *system = systemCodec();
        for (const int mib : QTextCodec::availableMibs()) {
            QTextCodec *codec = QTextCodec::codecForMib(mib);
            QString prepared;
            recodeText(text, system, codec, prepared);
            options->codecTexts.append(qMakePair(codec, prepared));
        }
    }
}

void searchThread::setTempDir(const QString &dir)
{
    options->tempDir = dir;
}

void searchThread::setDiagnostics(DiagnosticSink sink)
{
    options->diagnostics = std::move(sink);
}

void searchThread::stopSearch()
{
    requestInterruption();
}

void searchThread::run()
{
    const MountTable mounts = MountTable::load();
    QStringList rootPaths;
    for (const QDir &dir : qAsConst(dirList))
        rootPaths << dir.absolutePath();
    const RootTrees trees(rootPaths);
    const auto send = [this](const QString &dirName, QList<TFileInfo> &hits) { emit PushGotFiles(dirName, hits); };
    const auto searchRoots = [this](auto &walk) {
        for (const QDir &dir : qAsConst(dirList)) {
            if (isInterruptionRequested())
                break;
            walk.searchRoot(dir.absolutePath());
        }
    };
    if (workerCount > 1) {
        ParallelWalk walk(*options, mounts, trees, recursive, unsigned(workerCount), send);
        searchRoots(walk);
    } else {
        // One content search for the whole run: its plan is made once, not once per file.
        std::unique_ptr<ContentSearch> content;
        if (!options->grepText.isEmpty())
            content = std::make_unique<ContentSearch>(*options);
        options->contentSearch = content.get();
        // One extraction place for the whole run: its files stay locked until the run ends.
        options->extraction = std::make_shared<ExtractionPlace>(options->tempDir);
        DirectoryWalk walk(*options, mounts, trees, recursive, send);
        searchRoots(walk);
        options->contentSearch = nullptr;
        options->extraction.reset();   // unlocks, and removes any uniquely named file
    }
    completedRuns.fetch_add(1, std::memory_order_release);
}
