#pragma once

#include "documents/xmltokens.h"

#include <memory>

class ZipPackage;

// Which parser reads a part (xmltokens.h).
enum class XmlParser { Fast, Reference };

// One XML part of a package, parsed as it is decompressed: the parser is fed a piece at a
// time, so memory stays bounded by a piece and its tokens, however large the part.
class XmlPart
{
public:
    enum class State { Reading, Finished, Damaged, Stopped };

    XmlPart(ZipPackage &package, const QString &part, XmlParser parser = XmlParser::Reference);
    ~XmlPart();
    XmlPart(const XmlPart &) = delete;
    XmlPart &operator=(const XmlPart &) = delete;

    // Moves to the next token; false at the end of the part, on damage or on a stop request
    // (state() tells which).
    bool next();
    // Called on a start tag: the element's content is passed over by next().
    void skipElement() { skipDepth_ = 1; }

    // The token at hand; the views stay valid until the next token.
    QXmlStreamReader::TokenType token() const { return token_; }
    QStringView name() const { return name_; }
    QStringView namespaceUri() const { return tokens_->namespaceUri(); }
    QStringView text() const { return tokens_->text(); }
    // The value of the attribute with this local name, whatever its prefix.
    QString attribute(QLatin1StringView localName) const { return attributeView(localName).toString(); }
    QStringView attributeView(QLatin1StringView localName) const { return tokens_->attribute(localName); }
    State state() const { return state_; }

private:
    bool feedMore();

    ZipPackage &package_;
    std::unique_ptr<XmlTokens> tokens_;
    QXmlStreamReader::TokenType token_ = QXmlStreamReader::NoToken;
    QStringView name_;
    State state_ = State::Reading;
    bool partEnded_ = false;
    int skipDepth_ = 0;
    int depth_ = 0;          // open elements
    bool rootEnded_ = false;
};
