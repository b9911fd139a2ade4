// Presentations: the paragraphs of each slide in the presentation's order, the place being
// the slide's number.

#include "documents/formatreaders.h"
#include "documents/linetext.h"
#include "documents/packagepaths.h"
#include "documents/readoutcome.h"
#include "documents/xmlpart.h"
#include "documents/zippackage.h"

#include <QStringList>
#include <QXmlStreamReader>

namespace {

// The slides in the presentation's order; false when the presentation is missing or damaged.
bool readSlideList(ZipPackage &package, const QString &presentation, QStringList &slides)
{
    QByteArray bytes;
    if (!package.readSmallPart(presentation, bytes))
        return false;
    const QHash<QString, QString> targets = readRelationships(package, presentation);
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("sldId"))
            continue;
        const QString part = targets.value(relationshipIdOf(xml.attributes()));
        if (!part.isEmpty())
            slides.append(part);
    }
    return !xml.hasError();
}

DocumentRead readSlide(ZipPackage &package, const QString &slide, int place, const DocumentLineSink &sink,
                       XmlParser parser)
{
    XmlPart part(package, slide, parser);
    LineText paragraph;
    bool inText = false;
    while (part.next()) {
        const QStringView name = part.name();
        if (part.token() == QXmlStreamReader::StartElement) {
            if (name == QLatin1String("p"))
                paragraph.clear();
            else if (name == QLatin1String("t"))
                inText = true;
            else if (name == QLatin1String("br"))
                paragraph.append(QLatin1Char(' '));
            else if (name == QLatin1String("Fallback"))
                part.skipElement();   // repeats the text of its choice
        } else if (part.token() == QXmlStreamReader::EndElement) {
            if (name == QLatin1String("t"))
                inText = false;
            else if (name == QLatin1String("p") && !sink(place, paragraph.text()))
                return DocumentRead::Stopped;
        } else if (part.token() == QXmlStreamReader::Characters && inText) {
            paragraph.append(part.text());
        }
    }
    return outcomeOf(part);
}

} // namespace

DocumentRead readOfficeSlides(ZipPackage &package, const DocumentLineSink &sink, XmlParser parser)
{
    const QString presentation = mainPartOf(package, QStringLiteral("ppt/presentation.xml"));
    QStringList slides;
    if (!readSlideList(package, presentation, slides))
        return DocumentRead::Unreadable;
    for (int i = 0; i < slides.size(); ++i) {
        const DocumentRead outcome = readSlide(package, slides[i], i + 1, sink, parser);
        if (outcome != DocumentRead::Finished)
            return outcome;
    }
    return DocumentRead::Finished;
}
