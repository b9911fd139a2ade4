#include "documents/xmlpart.h"

#include "documents/zippackage.h"
#include "walk/stoprequest.h"

namespace {

// Compressed parts are decompressed this much at a time; the stop request is tested at each
// piece, far more often than every few MB of text.
constexpr int pieceSize = 64 * 1024;

} // namespace

XmlPart::XmlPart(ZipPackage &package, const QString &part)
    : package_(package)
{
    if (!package_.openPart(part))
        state_ = State::Damaged;
}

XmlPart::~XmlPart()
{
    package_.closePart();
}

bool XmlPart::feedMore()
{
    if (searchStopRequested()) {
        state_ = State::Stopped;
        return false;
    }
    QByteArray piece(pieceSize, Qt::Uninitialized);
    const int n = package_.readPart(piece.data(), pieceSize);
    if (n < 0) {
        state_ = State::Damaged;
        return false;
    }
    if (n == 0) {
        partEnded_ = true;
        if (!package_.closePart()) {
            state_ = State::Damaged;
            return false;
        }
        return true;
    }
    piece.truncate(n);
    xml_.addData(piece);
    return true;
}

bool XmlPart::next()
{
    while (state_ == State::Reading) {
        // The root's end tag ends the part: a parser fed in pieces cannot know that no more
        // text follows, and it has no way to be told.
        if (rootEnded_) {
            state_ = State::Finished;
            return false;
        }
        const QXmlStreamReader::TokenType token = xml_.readNext();
        if (token == QXmlStreamReader::Invalid) {
            if (xml_.error() == QXmlStreamReader::PrematureEndOfDocumentError && !partEnded_) {
                feedMore();
                continue;
            }
            state_ = State::Damaged;
            return false;
        }
        if (token == QXmlStreamReader::StartElement) {
            ++depth_;
        } else if (token == QXmlStreamReader::EndElement) {
            rootEnded_ = --depth_ == 0;
        } else if (token == QXmlStreamReader::EndDocument) {
            state_ = State::Finished;
            return false;
        }
        if (skipDepth_ > 0) {
            if (token == QXmlStreamReader::StartElement)
                ++skipDepth_;
            else if (token == QXmlStreamReader::EndElement)
                --skipDepth_;
            continue;
        }
        return true;
    }
    return false;
}

QStringView XmlPart::attributeView(QLatin1StringView localName) const
{
    // The values share the reader's own strings, which stay until the next token.
    const QXmlStreamAttributes &attributes = xml_.attributes();
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.name() == localName)
            return attribute.value();
    }
    return {};
}
