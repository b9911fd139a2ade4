#pragma once

#include <QLatin1StringView>
#include <QStringView>
#include <QXmlStreamReader>

#include <memory>

// The tokens of one XML text fed in pieces, as XmlPart walks them. Two parsers stand behind
// it: expat for the parts of Office Open XML documents (sheets and long documents, where the
// speed of a search is decided), and QXmlStreamReader for OpenDocument and EPUB, whose
// entities and namespace checks it resolves, and as the reference the fast one is held to.
class XmlTokens
{
public:
    enum class Step { Token, NeedMore, Damaged };

    virtual ~XmlTokens() = default;
    // Room for the next piece of up to `size` bytes (null when there is none), then how many
    // were put there: 0 at the end of the text.
    virtual char *pieceBuffer(int size) = 0;
    virtual void addPiece(int size) = 0;
    virtual Step readNext() = 0;

    // The token at hand; the views stay valid until the next readNext().
    virtual QXmlStreamReader::TokenType token() const = 0;
    virtual QStringView name() const = 0;           // the local name of an element
    virtual QStringView namespaceUri() const = 0;   // of an element (the reference parser only)
    virtual QStringView text() const = 0;           // of Characters
    virtual QStringView attribute(QLatin1StringView localName) const = 0;   // of a start tag
};

std::unique_ptr<XmlTokens> makeExpatTokens();
std::unique_ptr<XmlTokens> makeQtXmlTokens();
