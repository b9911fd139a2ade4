#pragma once

#include <QHash>
#include <QString>

class QXmlStreamAttributes;
class ZipPackage;

// The folder of a part inside its package ("xl/workbook.xml" -> "xl/"; "" at the top).
QString partFolder(const QString &part);
// A reference from a part in `folder` to another part: relative to the folder, or from the
// package's top when it starts with "/"; percent escapes decoded, fragment dropped.
QString resolvePartPath(const QString &folder, const QString &reference);

// The relationships of an Office Open XML part (its "_rels/NAME.rels"): id -> resolved path
// of the target part. External targets (links to the web) are left out.
QHash<QString, QString> readRelationships(ZipPackage &package, const QString &part);
// The package's main part, as "_rels/.rels" names it, or `fallback`.
QString mainPartOf(ZipPackage &package, const QString &fallback);
// The target of the first relationship of `part` whose type ends in `typeSuffix`, or "".
QString relatedPartOfType(ZipPackage &package, const QString &part, QLatin1StringView typeSuffix);
// The relationship id ("r:id") among an element's attributes.
QString relationshipIdOf(const QXmlStreamAttributes &attributes);
