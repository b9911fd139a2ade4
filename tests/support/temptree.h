#pragma once

// Suites that build trees use these with it, and often read the third-party fixtures too.
#include "fixtures.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

// A temporary folder that tests fill with files, folders and links in a line each.
class TempTree
{
public:
    TempTree();

    bool isValid() const { return dir_.isValid(); }
    QString root() const { return dir_.path(); }
    QString path(const QString &relative) const;

    // Creates the file (and its folders) with the given bytes; returns its absolute path.
    QString file(const QString &relative, const QByteArray &content = QByteArray());
    QString dir(const QString &relative);
    // Creates a symbolic link at `relative` pointing to `target` (taken as given).
    QString link(const QString &relative, const QString &target);

private:
    QTemporaryDir dir_;
};

// The whole file, or nothing when it cannot be read.
QByteArray readFile(const QString &path);
