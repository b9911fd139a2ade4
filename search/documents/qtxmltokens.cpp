#include "documents/xmltokens.h"

#include <QByteArray>

namespace {

class QtXmlTokens final : public XmlTokens
{
public:
    char *pieceBuffer(int size) override
    {
        piece_.resize(size);
        return piece_.data();
    }

    void addPiece(int size) override
    {
        piece_.truncate(size);
        xml_.addData(piece_);
    }

    Step readNext() override
    {
        if (xml_.readNext() != QXmlStreamReader::Invalid)
            return Step::Token;
        return xml_.error() == QXmlStreamReader::PrematureEndOfDocumentError ? Step::NeedMore : Step::Damaged;
    }

    QXmlStreamReader::TokenType token() const override { return xml_.tokenType(); }
    QStringView name() const override { return xml_.name(); }
    QStringView namespaceUri() const override { return xml_.namespaceUri(); }
    QStringView text() const override { return xml_.text(); }

    QStringView attribute(QLatin1StringView localName) const override
    {
        // The values share the reader's own strings, which stay until the next token.
        const QXmlStreamAttributes &attributes = xml_.attributes();
        for (const QXmlStreamAttribute &attribute : attributes) {
            if (attribute.name() == localName)
                return attribute.value();
        }
        return {};
    }

private:
    QXmlStreamReader xml_;
    QByteArray piece_;
};

} // namespace

std::unique_ptr<XmlTokens> makeQtXmlTokens()
{
    return std::make_unique<QtXmlTokens>();
}
