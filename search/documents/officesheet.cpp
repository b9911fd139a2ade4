// Workbooks: one line per row that holds text, "[sheet]" and the cells joined by tabs, the
// place being the row number; sheets in the workbook's order, shared strings resolved.

#include "documents/formatreaders.h"
#include "documents/linetext.h"
#include "documents/packagepaths.h"
#include "documents/readoutcome.h"
#include "documents/xmlpart.h"
#include "documents/zippackage.h"

#include <QStringList>
#include <QXmlStreamReader>

#include <utility>
#include <vector>

namespace {

struct Sheet
{
    QString name;
    QString part;
};

// The sheets in the workbook's order; false when the workbook is missing or damaged.
bool readSheetList(ZipPackage &package, const QString &workbook, std::vector<Sheet> &sheets)
{
    QByteArray bytes;
    if (!package.readSmallPart(workbook, bytes))
        return false;
    const QHash<QString, QString> targets = readRelationships(package, workbook);
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("sheet"))
            continue;
        const QString part = targets.value(relationshipIdOf(xml.attributes()));
        if (!part.isEmpty())
            sheets.push_back({xml.attributes().value(QLatin1String("name")).toString(), part});
    }
    return !xml.hasError();
}

// The shared strings, each the text of its runs; phonetic guides (furigana) left out.
DocumentRead readSharedStrings(ZipPackage &package, const QString &path, QStringList &strings)
{
    if (path.isEmpty() || !package.contains(path))
        return DocumentRead::Finished;
    XmlPart part(package, path);
    LineText text;
    bool inText = false;
    while (part.next()) {
        const QStringView name = part.name();
        if (part.token() == QXmlStreamReader::StartElement) {
            if (name == QLatin1String("si"))
                text.clear();
            else if (name == QLatin1String("t"))
                inText = true;
            else if (name == QLatin1String("rPh"))
                part.skipElement();
        } else if (part.token() == QXmlStreamReader::EndElement) {
            if (name == QLatin1String("t"))
                inText = false;
            else if (name == QLatin1String("si"))
                strings.append(text.text());
        } else if (part.token() == QXmlStreamReader::Characters && inText) {
            text.append(part.xml().text());
        }
    }
    return outcomeOf(part);
}

QString cellText(const QString &type, const QString &value, const QStringList &strings)
{
    if (type == QLatin1String("s")) {
        bool ok = false;
        const int index = value.trimmed().toInt(&ok);
        return ok ? strings.value(index) : QString();
    }
    if (type == QLatin1String("b"))
        return value.trimmed() == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    return value;
}

DocumentRead readSheet(ZipPackage &package, const Sheet &sheet, const QStringList &strings,
                       const DocumentLineSink &sink)
{
    XmlPart part(package, sheet.part);
    int row = 0;
    QStringList cells;
    QString type;
    LineText value;
    bool inValue = false;
    while (part.next()) {
        const QStringView name = part.name();
        if (part.token() == QXmlStreamReader::StartElement) {
            if (name == QLatin1String("row")) {
                bool ok = false;
                const int number = part.attribute(QLatin1StringView("r")).toInt(&ok);
                row = ok ? number : row + 1;
                cells.clear();
            } else if (name == QLatin1String("c")) {
                type = part.attribute(QLatin1StringView("t"));
                value.clear();
            } else if (name == QLatin1String("v") || name == QLatin1String("t")) {
                inValue = true;   // a value, or the text of an inline string
            } else if (name == QLatin1String("f") || name == QLatin1String("rPh")) {
                part.skipElement();
            }
        } else if (part.token() == QXmlStreamReader::EndElement) {
            if (name == QLatin1String("v") || name == QLatin1String("t")) {
                inValue = false;
            } else if (name == QLatin1String("c")) {
                const QString text = cellText(type, value.text(), strings);
                if (!text.isEmpty())
                    cells.append(text);
            } else if (name == QLatin1String("row") && !cells.isEmpty()) {
                if (!sink(row, QLatin1Char('[') + sheet.name + QLatin1String("]\t") + cells.join(QLatin1Char('\t'))))
                    return DocumentRead::Stopped;
            }
        } else if (part.token() == QXmlStreamReader::Characters && inValue) {
            value.append(part.xml().text());
        }
    }
    return outcomeOf(part);
}

} // namespace

DocumentRead readOfficeSheet(ZipPackage &package, const DocumentLineSink &sink)
{
    const QString workbook = mainPartOf(package, QStringLiteral("xl/workbook.xml"));
    std::vector<Sheet> sheets;
    if (!readSheetList(package, workbook, sheets))
        return DocumentRead::Unreadable;
    QStringList strings;
    const QString sharedStrings = relatedPartOfType(package, workbook, QLatin1StringView("/sharedStrings"));
    DocumentRead outcome = readSharedStrings(package, sharedStrings, strings);
    for (const Sheet &sheet : sheets) {
        if (outcome != DocumentRead::Finished)
            break;
        outcome = readSheet(package, sheet, strings, sink);
    }
    return outcome;
}
