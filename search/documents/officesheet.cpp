// Workbooks: one line per row that holds text, "[sheet]" and the cells joined by tabs, the
// place being the row number; sheets in the workbook's order, shared strings resolved.

#include "documents/formatreaders.h"
#include "documents/linetext.h"
#include "documents/packagepaths.h"
#include "documents/readoutcome.h"
#include "documents/xmlpart.h"
#include "documents/zippackage.h"

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

// The workbook's shared strings in one piece of text: a sheet looks them up at random, cell
// after cell, and one string per allocation would scatter them through memory.
class SharedStrings
{
public:
    void append(const QString &string)
    {
        text_ += string;
        ends_.push_back(text_.size());
    }
    qsizetype size() const { return qsizetype(ends_.size()); }
    QStringView at(qsizetype index) const
    {
        const qsizetype start = index == 0 ? 0 : ends_[size_t(index - 1)];
        return QStringView(text_).sliced(start, ends_[size_t(index)] - start);
    }

private:
    QString text_;
    std::vector<qsizetype> ends_;
};

// The shared strings, each the text of its runs; phonetic guides (furigana) left out.
DocumentRead readSharedStrings(ZipPackage &package, const QString &path, SharedStrings &strings, XmlParser parser)
{
    if (path.isEmpty() || !package.contains(path))
        return DocumentRead::Finished;
    XmlPart part(package, path, parser);
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
            text.append(part.text());
        }
    }
    return outcomeOf(part);
}

enum class CellType { Value, SharedString, Boolean };

CellType cellTypeOf(QStringView type)
{
    if (type == QLatin1StringView("s"))
        return CellType::SharedString;
    return type == QLatin1StringView("b") ? CellType::Boolean : CellType::Value;
}

// Appends the cell's text to the row's line (after a tab when the line holds a cell already).
void appendCell(CellType type, const QString &value, const SharedStrings &strings, QString &line, qsizetype lineStart)
{
    QStringView text = value;
    if (type == CellType::SharedString) {
        bool ok = false;
        const int index = QStringView(value).trimmed().toInt(&ok);
        text = ok && index >= 0 && index < strings.size() ? strings.at(index) : QStringView();
    } else if (type == CellType::Boolean) {
        text = QStringView(value).trimmed() == QLatin1StringView("1") ? QStringView(u"TRUE") : QStringView(u"FALSE");
    }
    if (text.isEmpty())
        return;
    if (line.size() > lineStart)
        line += QLatin1Char('\t');
    line += text;
}

DocumentRead readSheet(ZipPackage &package, const Sheet &sheet, const SharedStrings &strings,
                       const DocumentLineSink &sink, XmlParser parser)
{
    XmlPart part(package, sheet.part, parser);
    int row = 0;
    // "[sheet]\t" and the row's cells, built in place: one string for the whole sheet.
    const QString lineHead = QLatin1Char('[') + sheet.name + QLatin1String("]\t");
    QString line;
    line.reserve(256);
    line += lineHead;
    CellType type = CellType::Value;
    LineText value;
    bool inValue = false;
    while (part.next()) {
        const QStringView name = part.name();
        if (part.token() == QXmlStreamReader::StartElement) {
            if (name == QLatin1String("row")) {
                bool ok = false;
                const int number = part.attributeView(QLatin1StringView("r")).toInt(&ok);
                row = ok ? number : row + 1;
                line.truncate(lineHead.size());
            } else if (name == QLatin1String("c")) {
                type = cellTypeOf(part.attributeView(QLatin1StringView("t")));
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
                appendCell(type, value.text(), strings, line, lineHead.size());
            } else if (name == QLatin1String("row") && line.size() > lineHead.size()) {
                if (!sink(row, line))
                    return DocumentRead::Stopped;
            }
        } else if (part.token() == QXmlStreamReader::Characters && inValue) {
            value.append(part.text());
        }
    }
    return outcomeOf(part);
}

} // namespace

DocumentRead readOfficeSheet(ZipPackage &package, const DocumentLineSink &sink, XmlParser parser)
{
    const QString workbook = mainPartOf(package, QStringLiteral("xl/workbook.xml"));
    std::vector<Sheet> sheets;
    if (!readSheetList(package, workbook, sheets))
        return DocumentRead::Unreadable;
    SharedStrings strings;
    const QString sharedStrings = relatedPartOfType(package, workbook, QLatin1StringView("/sharedStrings"));
    DocumentRead outcome = readSharedStrings(package, sharedStrings, strings, parser);
    for (const Sheet &sheet : sheets) {
        if (outcome != DocumentRead::Finished)
            break;
        outcome = readSheet(package, sheet, strings, sink, parser);
    }
    return outcome;
}
