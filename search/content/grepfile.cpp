#include "content/grepfile.h"

#include "content/contentsearch.h"
#include "walk/searchoptions.h"

void grepFile(const TSearchOptions *options, const QString &path, QList<TFileInfo> &hits,
              const QString &displayName)
{
    if (!options)
        return;
    if (options->contentSearch)
        options->contentSearch->search(path, hits, displayName);
    else
        ContentSearch(*options).search(path, hits, displayName);
}

#ifdef Q_OS_UNIX
void grepFileAt(const TSearchOptions *options, int dirFd, const QByteArray &name, QList<TFileInfo> &hits,
                const QString &displayName)
{
    if (!options)
        return;
    if (options->contentSearch)
        options->contentSearch->searchAt(dirFd, name, hits, displayName);
    else
        ContentSearch(*options).searchAt(dirFd, name, hits, displayName);
}
#endif
