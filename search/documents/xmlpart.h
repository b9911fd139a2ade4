#pragma once

#include <QXmlStreamReader>

class ZipPackage;

// One XML part of a package, parsed as it is decompressed: the parser is fed a piece at a
// time, so memory stays bounded by a piece and the token at hand, however large the part.
class XmlPart
{
public:
    enum class State { Reading, Finished, Damaged, Stopped };

    XmlPart(ZipPackage &package, const QString &part);
    ~XmlPart();
    XmlPart(const XmlPart &) = delete;
    XmlPart &operator=(const XmlPart &) = delete;

    // Moves to the next token; false at the end of the part, on damage or on a stop request
    // (state() tells which).
    bool next();
    // Called on a start tag: the element's content is passed over by next().
    void skipElement() { skipDepth_ = 1; }

    const QXmlStreamReader &xml() const { return xml_; }
    QXmlStreamReader::TokenType token() const { return xml_.tokenType(); }
    QStringView name() const { return xml_.name(); }
    // The value of the attribute with this local name, whatever its prefix.
    QString attribute(QLatin1StringView localName) const { return attributeView(localName).toString(); }
    // The same, valid until the next token.
    QStringView attributeView(QLatin1StringView localName) const;
    State state() const { return state_; }

private:
    bool feedMore();

    ZipPackage &package_;
    QXmlStreamReader xml_;
    State state_ = State::Reading;
    bool partEnded_ = false;
    int skipDepth_ = 0;
    int depth_ = 0;          // open elements
    bool rootEnded_ = false;
};
