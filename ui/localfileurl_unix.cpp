#include "localfileurl.h"

#include <QString>

// A path has one root here: "//etc" is "/etc".
int keptLeadingSlashes(const QString &)
{
    return 0;
}
