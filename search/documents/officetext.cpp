// Word processing documents: the paragraphs of the main part in document order, those of
// table cells and text boxes included, each numbered by where it starts.

#include "documents/formatreaders.h"
#include "documents/linetext.h"
#include "documents/packagepaths.h"
#include "documents/readoutcome.h"
#include "documents/xmlpart.h"

#include <vector>

DocumentRead readOfficeText(ZipPackage &package, const DocumentLineSink &sink, XmlParser parser)
{
    XmlPart part(package, mainPartOf(package, QStringLiteral("word/document.xml")), parser);
    struct Paragraph
    {
        int place;
        LineText text;
    };
    std::vector<Paragraph> open;   // a text box's paragraphs lie inside another paragraph
    int place = 0;
    bool inText = false;
    while (part.next()) {
        const QStringView name = part.name();
        switch (part.token()) {
        case QXmlStreamReader::StartElement:
            if (name == QLatin1String("p")) {
                open.push_back({++place, {}});
            } else if (name == QLatin1String("t")) {
                inText = true;
            } else if (open.empty()) {
                break;
            } else if (name == QLatin1String("tab") || name == QLatin1String("ptab")) {
                open.back().text.append(QLatin1Char('\t'));
            } else if (name == QLatin1String("br") || name == QLatin1String("cr")) {
                open.back().text.append(QLatin1Char(' '));
            } else if (name == QLatin1String("noBreakHyphen")) {
                open.back().text.append(QLatin1Char('-'));
            } else if (name == QLatin1String("pPr") || name == QLatin1String("rPr")
                       || name == QLatin1String("Fallback")) {
                // Properties hold tab stops, not tabs; a fallback repeats its choice's text.
                part.skipElement();
            }
            break;
        case QXmlStreamReader::EndElement:
            if (name == QLatin1String("t")) {
                inText = false;
            } else if (name == QLatin1String("p") && !open.empty()) {
                const Paragraph paragraph = std::move(open.back());
                open.pop_back();
                if (!sink(paragraph.place, paragraph.text.text()))
                    return DocumentRead::Stopped;
            }
            break;
        case QXmlStreamReader::Characters:
            if (inText && !open.empty())
                open.back().text.append(part.text());
            break;
        default:
            break;
        }
    }
    return outcomeOf(part);
}
