#include "archivesearch.h"

#include "searchoptions.h"

void searchArchive(const QString &archivePath, QList<TFileInfo> &hits, const TSearchOptions *options)
{
    Q_UNUSED(archivePath);
    Q_UNUSED(hits);
    Q_UNUSED(options);
}
