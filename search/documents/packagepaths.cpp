#include "documents/packagepaths.h"

#include "documents/zippackage.h"

#include <QDir>
#include <QUrl>
#include <QXmlStreamReader>

#include <utility>
#include <vector>

namespace {

struct Relationship
{
    QString id;
    QString type;
    QString target;
};

std::vector<Relationship> relationshipsOf(ZipPackage &package, const QString &part)
{
    const QString folder = partFolder(part);
    const QString rels = folder + QLatin1String("_rels/") + part.mid(folder.size()) + QLatin1String(".rels");
    QByteArray bytes;
    std::vector<Relationship> found;
    if (!package.readSmallPart(rels, bytes))
        return found;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("Relationship"))
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (attributes.value(QLatin1String("TargetMode")) == QLatin1String("External"))
            continue;
        found.push_back({attributes.value(QLatin1String("Id")).toString(),
                         attributes.value(QLatin1String("Type")).toString(),
                         resolvePartPath(folder, attributes.value(QLatin1String("Target")).toString())});
    }
    return found;
}

} // namespace

QString partFolder(const QString &part)
{
    return part.left(part.lastIndexOf(QLatin1Char('/')) + 1);
}

QString resolvePartPath(const QString &folder, const QString &reference)
{
    QString path = QUrl::fromPercentEncoding(reference.section(QLatin1Char('#'), 0, 0).toUtf8());
    path = path.startsWith(QLatin1Char('/')) ? path.mid(1) : folder + path;
    path = QDir::cleanPath(path);
    return path == QLatin1String(".") ? QString() : path;
}

QHash<QString, QString> readRelationships(ZipPackage &package, const QString &part)
{
    QHash<QString, QString> targets;
    for (const Relationship &relationship : relationshipsOf(package, part))
        targets.insert(relationship.id, relationship.target);
    return targets;
}

QString relatedPartOfType(ZipPackage &package, const QString &part, QLatin1StringView typeSuffix)
{
    for (const Relationship &relationship : relationshipsOf(package, part)) {
        if (relationship.type.endsWith(typeSuffix))
            return relationship.target;
    }
    return QString();
}

QString mainPartOf(ZipPackage &package, const QString &fallback)
{
    const QString main = relatedPartOfType(package, QString(), QLatin1StringView("/officeDocument"));
    return main.isEmpty() ? fallback : main;
}

QString relationshipIdOf(const QXmlStreamAttributes &attributes)
{
    // The element may also carry a plain "id" of its own (a slide's number), so the
    // namespace tells the two apart.
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.name() == QLatin1String("id") && !attribute.namespaceUri().isEmpty())
            return attribute.value().toString();
    }
    return QString();
}
