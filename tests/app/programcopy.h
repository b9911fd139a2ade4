#pragma once

#include <QFile>
#include <QString>
#include <QTest>

// The program under test, copied to `dir` under `name`. A copy at a path of its own is an
// instance of its own: it neither sees nor disturbs copies elsewhere.
inline QString copyProgram(const QString &dir, const QString &name = QStringLiteral("quorvel"))
{
    const QString target = dir + QLatin1Char('/') + name;
    QFile::remove(target);
    if (!QFile::copy(QStringLiteral(QUORVEL_PROGRAM), target))
        qFatal("cannot copy the program to %s", qPrintable(target));
    QFile::setPermissions(target, QFile::permissions(QStringLiteral(QUORVEL_PROGRAM)));
    return target;
}
