#include "fixtures.h"

#include <QFileInfo>

QString thirdPartyFixtures(const QString &relative)
{
    // ctest sets the variable; a test started by hand falls back to the configured folder.
    const QString base = qEnvironmentVariable("QUORVEL_FIXTURES", QStringLiteral(QUORVEL_FIXTURES_DEFAULT));
    return relative.isEmpty() ? base : base + QLatin1Char('/') + relative;
}

QString missingFixturesReason(const QString &relative)
{
    const QString wanted = thirdPartyFixtures(relative);
    if (QFileInfo::exists(wanted))
        return QString();
    return QStringLiteral("third-party fixtures not found at %1: put ../shared/fixtures/third_party "
                          "beside the checkout to run this suite").arg(wanted);
}
