#include "documents/xmltokens.h"

#include <QString>

#include <expat.h>

#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {


struct Span
{
    size_t start = 0;
    size_t size = 0;
};

// A parsed token, its bytes (UTF-8) kept in the piece's arena until it has been read.
struct Event
{
    QXmlStreamReader::TokenType type;
    int name = -1;            // element names, in the table of names
    Span text;                // Characters
    size_t attributes = 0;    // start tags: where their attributes begin in the list
    size_t attributeCount = 0;
};

struct Attribute
{
    Span localName;
    Span value;
};

// Expat calls back for every token of a piece; the tokens are kept and handed out one at a
// time. Element names are few and repeat: each is made a QString once. Names are compared by
// their local part, as the readers do with the reference parser; expat's own namespace
// processing (a URI copied into every name) is left off, so no element has a namespace URI.
class ExpatTokens final : public XmlTokens
{
public:
    ExpatTokens()
        : parser_(XML_ParserCreate(nullptr))
    {
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &ExpatTokens::startElement, &ExpatTokens::endElement);
        XML_SetCharacterDataHandler(parser_, &ExpatTokens::characters);
    }
    ~ExpatTokens() override { XML_ParserFree(parser_); }
    ExpatTokens(const ExpatTokens &) = delete;
    ExpatTokens &operator=(const ExpatTokens &) = delete;

    char *pieceBuffer(int size) override
    {
        return static_cast<char *>(XML_GetBuffer(parser_, size));
    }

    void addPiece(int size) override
    {
        events_.clear();
        attributes_.clear();
        arena_.clear();
        next_ = 0;
        if (damaged_)
            return;
        // The part's end is told by a piece of nothing: expat then checks that every element closed.
        if (XML_ParseBuffer(parser_, size, size == 0) != XML_STATUS_OK)
            damaged_ = true;
        ended_ = size == 0;
    }

    Step readNext() override
    {
        if (next_ < events_.size()) {
            current_ = &events_[next_++];
            return Step::Token;
        }
        current_ = nullptr;
        if (damaged_)
            return Step::Damaged;
        return ended_ ? Step::Damaged : Step::NeedMore;   // the root never closed
    }

    QXmlStreamReader::TokenType token() const override
    {
        return current_ ? current_->type : QXmlStreamReader::NoToken;
    }

    QStringView name() const override
    {
        return current_ && current_->name >= 0 ? QStringView(names_[size_t(current_->name)]) : QStringView();
    }

    QStringView namespaceUri() const override { return {}; }

    QStringView text() const override
    {
        if (!current_ || current_->type != QXmlStreamReader::Characters)
            return {};
        return convert(bytes(current_->text));
    }

    QStringView attribute(QLatin1StringView localName) const override
    {
        if (!current_ || current_->type != QXmlStreamReader::StartElement)
            return {};
        for (size_t i = 0; i < current_->attributeCount; ++i) {
            const Attribute &attribute = attributes_[current_->attributes + i];
            const std::string_view name = bytes(attribute.localName);
            if (name.size() == size_t(localName.size()) && std::memcmp(name.data(), localName.data(), name.size()) == 0) {
                return convert(bytes(attribute.value));
            }
        }
        return {};
    }

private:
    static ExpatTokens *self(void *data) { return static_cast<ExpatTokens *>(data); }

    static std::string_view localPart(std::string_view name)
    {
        const size_t colon = name.find(':');
        return colon == std::string_view::npos ? name : name.substr(colon + 1);
    }

    // Text and values are mostly ASCII (numbers, flags): those are widened into the room of
    // the last conversion without a new allocation.
    QStringView convert(std::string_view bytes) const
    {
        const qsizetype size = qsizetype(bytes.size());
        for (qsizetype i = 0; i < size; ++i) {
            if (static_cast<unsigned char>(bytes[size_t(i)]) >= 0x80) {
                converted_ = QString::fromUtf8(bytes.data(), size);
                return converted_;
            }
        }
        converted_.resize(size);
        QChar *out = converted_.data();
        for (qsizetype i = 0; i < size; ++i)
            out[i] = QLatin1Char(bytes[size_t(i)]);
        return converted_;
    }

    static void startElement(void *data, const XML_Char *name, const XML_Char **attributes)
    {
        ExpatTokens *tokens = self(data);
        Event event{QXmlStreamReader::StartElement, tokens->nameIndex(name), {}, tokens->attributes_.size(), 0};
        for (; attributes[0]; attributes += 2) {
            tokens->attributes_.push_back({tokens->keep(localPart(attributes[0])), tokens->keep(attributes[1])});
            ++event.attributeCount;
        }
        tokens->events_.push_back(event);
    }

    static void endElement(void *data, const XML_Char *name)
    {
        ExpatTokens *tokens = self(data);
        tokens->events_.push_back({QXmlStreamReader::EndElement, tokens->nameIndex(name), {}, 0, 0});
    }

    static void characters(void *data, const XML_Char *text, int size)
    {
        ExpatTokens *tokens = self(data);
        tokens->events_.push_back({QXmlStreamReader::Characters, -1, tokens->keep(std::string_view(text, size_t(size))), 0, 0});
    }

    Span keep(std::string_view bytes)
    {
        const Span span{arena_.size(), bytes.size()};
        arena_.append(bytes);
        return span;
    }

    std::string_view bytes(Span span) const { return std::string_view(arena_).substr(span.start, span.size); }

    int nameIndex(std::string_view name)
    {
        if (lastName_ >= 0 && nameKeys_[size_t(lastName_)] == name)
            return lastName_;
        const auto found = nameIndexes_.find(name);
        if (found != nameIndexes_.end())
            return lastName_ = found->second;
        const int index = int(names_.size());
        nameKeys_.emplace_back(name);
        names_.push_back(QString::fromUtf8(localPart(name)));
        nameIndexes_.emplace(nameKeys_.back(), index);
        return lastName_ = index;
    }

    XML_Parser parser_;
    std::vector<Event> events_;
    std::vector<Attribute> attributes_;
    std::string arena_;
    size_t next_ = 0;
    const Event *current_ = nullptr;
    bool damaged_ = false;
    bool ended_ = false;
    std::deque<std::string> nameKeys_;   // stable: the map's keys point into them
    std::vector<QString> names_;   // local parts, by index
    std::unordered_map<std::string_view, int> nameIndexes_;
    int lastName_ = -1;
    mutable QString converted_;
};

} // namespace

std::unique_ptr<XmlTokens> makeExpatTokens()
{
    return std::make_unique<ExpatTokens>();
}
