#include "localfileurl.h"

#include <QString>

// A leading "//" starts a network path and stays.
int keptLeadingSlashes(const QString &path)
{
    return path.startsWith(QLatin1String("//")) ? 2 : 0;
}
