// E-books: the XHTML content documents in spine order, every block element (paragraph,
// heading, list item, table cell...) a paragraph; places count the paragraphs that hold
// text, through the whole book.

#include "documents/formatreaders.h"
#include "documents/linetext.h"
#include "documents/packagepaths.h"
#include "documents/readoutcome.h"
#include "documents/xmlpart.h"
#include "documents/zippackage.h"

#include <QHash>
#include <QStringList>
#include <QXmlStreamReader>

namespace {

QString packageDocumentOf(ZipPackage &package)
{
    QByteArray bytes;
    if (!package.readSmallPart(QStringLiteral("META-INF/container.xml"), bytes))
        return QString();
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("rootfile"))
            return resolvePartPath(QString(), xml.attributes().value(QLatin1String("full-path")).toString());
    }
    return QString();
}

// The content documents of the spine, in reading order; false when the package document is
// missing or damaged.
bool readSpine(ZipPackage &package, const QString &packageDocument, QStringList &spine)
{
    QByteArray bytes;
    if (!package.readSmallPart(packageDocument, bytes))
        return false;
    const QString folder = partFolder(packageDocument);
    QHash<QString, QString> manifest;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == QLatin1String("item")) {
            if (attributes.value(QLatin1String("media-type")).contains(QLatin1String("html")))
                manifest.insert(attributes.value(QLatin1String("id")).toString(),
                                resolvePartPath(folder, attributes.value(QLatin1String("href")).toString()));
        } else if (xml.name() == QLatin1String("itemref")) {
            const QString part = manifest.value(attributes.value(QLatin1String("idref")).toString());
            if (!part.isEmpty())
                spine.append(part);
        }
    }
    return !xml.hasError();
}

bool isBlock(QStringView name)
{
    static const char *const blocks[] = {
        "p", "div", "h1", "h2", "h3", "h4", "h5", "h6", "li", "dt", "dd", "blockquote", "pre",
        "td", "th", "tr", "caption", "figcaption", "figure", "section", "article", "aside",
        "header", "footer", "nav", "address", "table", "ul", "ol", "dl", "hr", "body"};
    for (const char *block : blocks) {
        if (name == QLatin1String(block))
            return true;
    }
    return false;
}

// The characters that XHTML's named entities most often stand for, where a content
// document leans on the XHTML DTD instead of declaring them.
QChar entityCharacter(QStringView name)
{
    static const struct { const char *name; char16_t character; } entities[] = {
        {"nbsp", 0x00a0}, {"ensp", 0x2002}, {"emsp", 0x2003}, {"thinsp", 0x2009},
        {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018}, {"rsquo", 0x2019},
        {"ldquo", 0x201c}, {"rdquo", 0x201d}, {"hellip", 0x2026}, {"middot", 0x00b7},
        {"copy", 0x00a9}, {"reg", 0x00ae}, {"shy", 0x00ad}, {"laquo", 0x00ab}, {"raquo", 0x00bb}};
    for (const auto &entity : entities) {
        if (name == QLatin1String(entity.name))
            return QChar(entity.character);
    }
    return QChar(' ');
}

class ContentDocumentText
{
public:
    explicit ContentDocumentText(const DocumentLineSink &sink)
        : sink_(sink)
    {
    }
    // Hands the paragraph gathered so far to the sink; false when it asked to stop.
    bool flush()
    {
        const QString text = paragraph_.text().trimmed();
        paragraph_.clear();
        return text.isEmpty() || sink_(++place_, text);
    }
    DocumentRead read(XmlPart &part);

private:
    const DocumentLineSink &sink_;
    LineText paragraph_;
    int place_ = 0;
};

DocumentRead ContentDocumentText::read(XmlPart &part)
{
    while (part.next()) {
        const QStringView name = part.name();
        switch (part.token()) {
        case QXmlStreamReader::StartElement:
            if (name == QLatin1String("head") || name == QLatin1String("script") || name == QLatin1String("style"))
                part.skipElement();
            else if (name == QLatin1String("br"))
                paragraph_.appendCollapsed(u" ");
            else if (isBlock(name) && !flush())
                return DocumentRead::Stopped;
            break;
        case QXmlStreamReader::EndElement:
            if (isBlock(name) && !flush())
                return DocumentRead::Stopped;
            break;
        case QXmlStreamReader::Characters:
            paragraph_.appendCollapsed(part.text());
            break;
        case QXmlStreamReader::EntityReference: {
            const QChar c = entityCharacter(name);
            paragraph_.appendCollapsed(QStringView(&c, 1));
            break;
        }
        default:
            break;
        }
    }
    return flush() ? outcomeOf(part) : DocumentRead::Stopped;
}

} // namespace

DocumentRead readEpub(ZipPackage &package, const DocumentLineSink &sink)
{
    QStringList spine;
    if (!readSpine(package, packageDocumentOf(package), spine))
        return DocumentRead::Unreadable;
    ContentDocumentText text(sink);
    // A damaged chapter does not hide the others; the book is still reported as damaged.
    DocumentRead outcome = DocumentRead::Finished;
    for (const QString &content : std::as_const(spine)) {
        XmlPart part(package, content);
        const DocumentRead chapter = text.read(part);
        if (chapter == DocumentRead::Stopped)
            return chapter;
        if (chapter == DocumentRead::Unreadable)
            outcome = chapter;
    }
    return outcome;
}
