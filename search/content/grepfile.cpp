#include "content/grepfile.h"

#include "content/contentsearch.h"
#include "walk/searchoptions.h"

namespace {

// Runs `search` with the content search of the running search, or with one made for it alone.
template<typename Search>
void withContentSearch(const TSearchOptions *options, const Search &search)
{
    if (!options)
        return;
    if (options->contentSearch) {
        search(*options->contentSearch);
    } else {
        ContentSearch own(*options);
        search(own);
    }
}

} // namespace

void grepFile(const TSearchOptions *options, const QString &path, QList<TFileInfo> &hits,
              const QString &displayName)
{
    withContentSearch(options, [&](ContentSearch &search) { search.search(path, hits, displayName); });
}

#ifdef Q_OS_UNIX
void grepFileAt(const TSearchOptions *options, int dirFd, const QByteArray &name, QList<TFileInfo> &hits,
                const QString &displayName)
{
    withContentSearch(options, [&](ContentSearch &search) { search.searchAt(dirFd, name, hits, displayName); });
}
#endif

void grepMemory(const TSearchOptions *options, const unsigned char *data, qint64 size, QList<TFileInfo> &hits,
                const QString &displayName)
{
    withContentSearch(options, [&](ContentSearch &search) { search.searchMemory(data, size, hits, displayName); });
}
