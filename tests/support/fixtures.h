#pragma once

#include <QString>
#include <QTest>

// Archives and texts made by other tools live outside the repository, beside the checkout
// (../shared/fixtures/third_party). A fresh clone may not have them: suites that need them skip.

// The fixture folder (QUORVEL_FIXTURES as ctest sets it, else the configured folder), or a
// path below it.
QString thirdPartyFixtures(const QString &relative = QString());

// Empty when the fixture `relative` (the whole folder when empty) is there; otherwise the one
// line a skipped test reports.
QString missingFixturesReason(const QString &relative = QString());

// Skips the calling test function when the third-party fixture `relative` ("" for the whole
// folder) is absent.
#define SKIP_WITHOUT_THIRD_PARTY_FIXTURES(relative)                                                \
    do {                                                                                           \
        const QString quorvelMissingFixtures = missingFixturesReason(relative);                    \
        if (!quorvelMissingFixtures.isEmpty())                                                     \
            QSKIP(qPrintable(quorvelMissingFixtures));                                             \
    } while (false)
