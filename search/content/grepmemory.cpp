#include "content/grepmemory.h"

#include "content/contentsearch.h"
#include "walk/searchoptions.h"

void grepMemory(const TSearchOptions *options, const unsigned char *data, qint64 size, QList<TFileInfo> &hits,
                const QString &displayName)
{
    if (!options)
        return;
    if (options->contentSearch)
        options->contentSearch->searchMemory(data, size, hits, displayName);
    else
        ContentSearch(*options).searchMemory(data, size, hits, displayName);
}
