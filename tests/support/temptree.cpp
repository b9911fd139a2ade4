#include "temptree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempTree::TempTree() = default;

QString TempTree::path(const QString &relative) const
{
    return relative.isEmpty() ? dir_.path() : dir_.path() + QLatin1Char('/') + relative;
}

QString TempTree::file(const QString &relative, const QByteArray &content)
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(p));
    f.write(content);
    return p;
}

QString TempTree::dir(const QString &relative)
{
    const QString p = path(relative);
    QDir().mkpath(p);
    return p;
}

QString TempTree::link(const QString &relative, const QString &target)
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    if (!QFile::link(target, p))
        qFatal("cannot link %s", qPrintable(p));
    return p;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
