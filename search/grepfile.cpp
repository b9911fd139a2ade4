#include "grepfile.h"

#include "searchoptions.h"

void grepFile(const TSearchOptions *options, const QString &path, QList<TFileInfo> &hits,
              const QString &displayName)
{
    Q_UNUSED(options);
    Q_UNUSED(path);
    Q_UNUSED(hits);
    Q_UNUSED(displayName);
}
