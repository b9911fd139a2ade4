#include "walk/searchthread.h"

#include "archive/archivesearch.h"
#include "walk/dirlisting.h"
#include "content/grepfile.h"
#include "walk/mounttable.h"
#include "walk/namefilter.h"
#include "content/recodetext.h"
#include "content/systemcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

// The directories on the way from the root to the one being walked: a directory that is
// already on this chain is reached again through a link, and entering it would never end.
struct searchThread::Ancestor
{
    dev_t device;
    ino_t inode;
    const Ancestor *parent;
};

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
    grepText = text;
    caseSensitivity = cs;
    recursive = recursiveSearch;
    deepSearch = deep;

    codecTexts.clear();
    nameRegExps.clear();
    nameFilters.clear();

    if (exactName) {
        nameFilters = namePatterns;
    } else {
        for (const QString &pattern : namePatterns) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty())
                nameFilters.append(QLatin1Char('*') + trimmed + QLatin1Char('*'));
        }
    }
    for (const QString &filter : qAsConst(nameFilters))
        nameRegExps.append(QRegExp(filter, Qt::CaseInsensitive, QRegExp::WildcardUnix));

    if (deepSearch) {
        QTextCodec *system = systemCodec();
        for (const int mib : QTextCodec::availableMibs()) {
            QTextCodec *codec = QTextCodec::codecForMib(mib);
            QString prepared;
            recodeText(grepText, system, codec, prepared);
            codecTexts.append(qMakePair(codec, prepared));
        }
    }

    options->nameRegExps = nameRegExps;
    options->grepText = grepText;
    options->codecTexts = codecTexts;
    options->caseSensitivity = caseSensitivity;
    options->deepSearch = deepSearch;
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
    diskNameFilter = std::make_unique<NameFilter>(nameFilters);
    mounts = std::make_unique<MountTable>(MountTable::load());
    for (const QDir &dir : qAsConst(dirList)) {
        if (isInterruptionRequested())
            break;
        searchDir(dir);
    }
    diskNameFilter.reset();
    mounts.reset();
    completedRuns.fetch_add(1, std::memory_order_release);
}

void searchThread::searchDir(const QDir &dir)
{
    const QString path = QDir::cleanPath(dir.absolutePath());
    walkDirectory(QFile::encodeName(path).toStdString(), nullptr);
}

namespace {

std::string childPath(const std::string &parent, std::string_view name)
{
    std::string path;
    path.reserve(parent.size() + name.size() + 1);
    path += parent;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

QString childPath(const QString &parent, const QString &name)
{
    return parent.endsWith(QLatin1Char('/')) ? parent + name : parent + QLatin1Char('/') + name;
}

} // namespace

void searchThread::walkDirectory(const std::string &path, const Ancestor *parent)
{
    const DirListing listing = DirListing::read(path);
    if (!listing.isReadable())
        return;
    for (const Ancestor *a = parent; a; a = a->parent) {
        if (a->device == listing.device() && a->inode == listing.inode())
            return;
    }
    if (parent && parent->device != listing.device()
        && mounts->isPseudoFileSystem(listing.device(), path.c_str()))
        return;
    const Ancestor self{listing.device(), listing.inode(), parent};

    if (recursive) {
        for (const DirListing::Entry *sub : listing.subdirectories()) {
            if (isInterruptionRequested())
                return;
            walkDirectory(childPath(path, listing.rawNameView(*sub)), &self);
        }
    }
    // Names were checked to decode faithfully, so the decoded path is the path.
    const QString displayPath = QFile::decodeName(QByteArray::fromStdString(path));
    QList<TFileInfo> hits = searchFilesInDir(listing, displayPath);
    searchArchivesInDir(listing, displayPath, hits);
    if (!hits.isEmpty() && !isInterruptionRequested())
        emit PushGotFiles(QDir::toNativeSeparators(displayPath), hits);
}

QList<TFileInfo> searchThread::searchFilesInDir(const DirListing &listing, const QString &displayPath)
{
    QList<TFileInfo> hits;
    const bool contentSearch = !grepText.isEmpty();
    for (const DirListing::Entry *entry : listing.filePassEntries(*diskNameFilter)) {
        if (isInterruptionRequested())
            break;
        if (!contentSearch) {
            hits.append(TFileInfo{listing.name(*entry), 0, QString()});
        } else if (!DirListing::isArchiveName(listing.rawNameView(*entry))) {
            // Archives are searched by the archive pass, not read as text.
            const QString name = listing.name(*entry);
            grepFile(options.get(), childPath(displayPath, name), hits, name);
        }
    }
    return hits;
}

void searchThread::searchArchivesInDir(const DirListing &listing, const QString &displayPath,
                                       QList<TFileInfo> &hits)
{
    for (const DirListing::Entry *entry : listing.archivePassEntries()) {
        if (isInterruptionRequested())
            return;
        searchArchive(childPath(displayPath, listing.name(*entry)), hits, options.get());
    }
}
