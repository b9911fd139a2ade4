// OpenDocument files (content.xml): text paragraphs and headings numbered in document order;
// sheets one line per row like workbooks; slides and drawings the paragraphs of each page,
// the place being the page's number. White space is laid out as OpenDocument says: runs of
// it are one blank, and <text:s/>, <text:tab/> stand for the spaces and tabs typed.

#include "documents/formatreaders.h"
#include "documents/linetext.h"
#include "documents/readoutcome.h"
#include "documents/xmlpart.h"

#include <QStringList>

#include <utility>
#include <vector>

namespace {

class OpenDocumentText
{
public:
    OpenDocumentText(DocumentKind kind, const DocumentLineSink &sink)
        : sheet_(kind == DocumentKind::OpenSheet)
        , pages_(kind == DocumentKind::OpenPages)
        , sink_(sink)
    {
    }

    void start(XmlPart &part);
    // False when the sink asked to stop.
    bool end(QStringView name);
    void characters(QStringView text)
    {
        if (LineText *line = currentLine())
            line->appendCollapsed(text);
    }

private:
    struct Paragraph
    {
        int place;
        LineText text;
    };
    LineText *currentLine()
    {
        if (sheet_)
            return inCell_ && paragraphDepth_ > 0 ? &cell_ : nullptr;
        return open_.empty() ? nullptr : &open_.back().text;
    }
    static bool isParagraph(QStringView name)
    {
        return name == QLatin1String("p") || name == QLatin1String("h");
    }

    const bool sheet_;
    const bool pages_;
    const DocumentLineSink &sink_;
    int place_ = 0;                 // paragraph number, or page number
    std::vector<Paragraph> open_;   // notes and frames hold paragraphs inside paragraphs
    // Sheets.
    QString sheetName_;
    int row_ = 0;
    int rowRepeat_ = 1;
    QStringList cells_;
    LineText cell_;
    bool inCell_ = false;
    int paragraphDepth_ = 0;
    int cellParagraphs_ = 0;
};

int countAttribute(const XmlPart &part, QLatin1StringView name)
{
    bool ok = false;
    const int count = part.attribute(name).toInt(&ok);
    return ok && count > 0 ? count : 1;
}

void OpenDocumentText::start(XmlPart &part)
{
    const QStringView name = part.name();
    const bool pictureName = (name == QLatin1String("title") || name == QLatin1String("desc"))
        && part.namespaceUri().endsWith(QLatin1String(":svg-compatible:1.0"));
    if (pictureName || name == QLatin1String("tracked-changes") || name == QLatin1String("notes")) {
        // Deleted text, speaker notes and the names of pictures are not the document's text.
        part.skipElement();
        return;
    }
    if (sheet_ && name == QLatin1String("table") && !inCell_) {
        sheetName_ = part.attribute(QLatin1StringView("name"));
        row_ = 0;
    } else if (sheet_ && name == QLatin1String("table-row")) {
        rowRepeat_ = countAttribute(part, QLatin1StringView("number-rows-repeated"));
        ++row_;
        cells_.clear();
    } else if (sheet_ && (name == QLatin1String("table-cell") || name == QLatin1String("covered-table-cell"))) {
        cell_.clear();
        inCell_ = true;
        cellParagraphs_ = 0;
    } else if (isParagraph(name)) {
        if (sheet_) {
            if (++paragraphDepth_ == 1 && cellParagraphs_++ > 0)
                cell_.append(QLatin1Char(' '));
        } else {
            open_.push_back({pages_ ? place_ : ++place_, {}});
        }
    } else if (pages_ && name == QLatin1String("page")) {
        ++place_;
    } else if (LineText *line = currentLine()) {
        if (name == QLatin1String("s"))
            line->appendSpaces(countAttribute(part, QLatin1StringView("c")));
        else if (name == QLatin1String("tab"))
            line->append(sheet_ ? QLatin1Char(' ') : QLatin1Char('\t'));
        else if (name == QLatin1String("line-break"))
            line->append(QLatin1Char(' '));
    }
}

bool OpenDocumentText::end(QStringView name)
{
    if (sheet_) {
        if (isParagraph(name)) {
            --paragraphDepth_;
        } else if (name == QLatin1String("table-cell") || name == QLatin1String("covered-table-cell")) {
            if (!cell_.isEmpty())
                cells_.append(cell_.text());
            inCell_ = false;
        } else if (name == QLatin1String("table-row")) {
            const int first = row_;
            row_ += rowRepeat_ - 1;   // repeated rows show their text once, at the first
            if (!cells_.isEmpty())
                return sink_(first, QLatin1Char('[') + sheetName_ + QLatin1String("]\t") + cells_.join(QLatin1Char('\t')));
        }
        return true;
    }
    if (!isParagraph(name) || open_.empty())
        return true;
    const Paragraph paragraph = std::move(open_.back());
    open_.pop_back();
    return (pages_ && paragraph.place == 0) || sink_(paragraph.place, paragraph.text.text());
}

} // namespace

DocumentRead readOpenDocument(ZipPackage &package, DocumentKind kind, const DocumentLineSink &sink)
{
    XmlPart part(package, QStringLiteral("content.xml"));
    OpenDocumentText text(kind, sink);
    while (part.next()) {
        switch (part.token()) {
        case QXmlStreamReader::StartElement:
            text.start(part);
            break;
        case QXmlStreamReader::EndElement:
            if (!text.end(part.name()))
                return DocumentRead::Stopped;
            break;
        case QXmlStreamReader::Characters:
            text.characters(part.text());
            break;
        default:
            break;
        }
    }
    return outcomeOf(part);
}
