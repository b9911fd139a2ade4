#include "documents/xmlpart.h"

#include "documents/zippackage.h"
#include "walk/stoprequest.h"

namespace {

// Compressed parts are decompressed this much at a time; the stop request is tested at each
// piece, far more often than every few MB of text.
constexpr int pieceSize = 64 * 1024;

} // namespace

XmlPart::XmlPart(ZipPackage &package, const QString &part, XmlParser parser)
    : package_(package)
    , tokens_(parser == XmlParser::Fast ? makeExpatTokens() : makeQtXmlTokens())
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
    char *piece = tokens_->pieceBuffer(pieceSize);
    const int n = piece ? package_.readPart(piece, pieceSize) : -1;
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
    }
    tokens_->addPiece(n);
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
        const XmlTokens::Step step = tokens_->readNext();
        if (step == XmlTokens::Step::NeedMore && !partEnded_) {
            feedMore();
            continue;
        }
        if (step != XmlTokens::Step::Token) {
            state_ = State::Damaged;
            return false;
        }
        const QXmlStreamReader::TokenType token = token_ = tokens_->token();
        name_ = tokens_->name();   // an element's, or an entity reference's
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
