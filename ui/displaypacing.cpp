#include "displaypacing.h"

#include <algorithm>

int DisplayPacing::msUntilFitDue(int tableRows) const
{
    if (tableRows < shortTableRows || !lastFit.isValid())
        return 0;
    return int(std::max<qint64>(0, fitIntervalMs - lastFit.elapsed()));
}
