#include "content/piecedecoder.h"

namespace {

bool isContinuation(unsigned char b)
{
    return (b & 0xc0) == 0x80;
}

// Length of the valid UTF-8 sequence that starts with `lead`, or 0.
int sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xc2 && lead <= 0xdf)
        return 2;
    if (lead >= 0xe0 && lead <= 0xef)
        return 3;
    if (lead >= 0xf0 && lead <= 0xf4)
        return 4;
    return 0;
}

bool isValidSequence(const unsigned char *s, int length)
{
    if (sequenceLength(s[0]) != length)
        return false;
    for (int i = 1; i < length; ++i) {
        if (!isContinuation(s[i]))
            return false;
    }
    if (length >= 3) {
        const unsigned char second = s[1];
        if ((s[0] == 0xe0 && second < 0xa0) || (s[0] == 0xed && second > 0x9f) || (s[0] == 0xf0 && second < 0x90)
            || (s[0] == 0xf4 && second > 0x8f))
            return false;
    }
    return true;
}

// The largest cut c <= size after which a UTF-8 decoder holds no partial sequence, or -1.
qsizetype cleanUtf8Cut(const unsigned char *s, qsizetype size)
{
    for (qsizetype c = size; c > 0 && c + 8 > size; --c) {
        const unsigned char last = s[c - 1];
        if (last < 0x80 || last == 0xc0 || last == 0xc1 || last >= 0xf5)
            return c;   // ASCII, or a byte that is never part of a sequence
        if (c >= 4 && isContinuation(s[c - 1]) && isContinuation(s[c - 2]) && isContinuation(s[c - 3])
            && isContinuation(s[c - 4]))
            return c;   // no sequence is that long: any pending one has ended
        for (int length = 2; length <= 4 && length <= c; ++length) {
            if (isValidSequence(s + c - length, length))
                return c;
        }
    }
    return size == 0 ? 0 : -1;
}

} // namespace

CodecPieceDecoder::CodecPieceDecoder(QTextCodec *codec, bool qtUtf8, bool afterLineFeed)
    : codec_(codec)
    , qtUtf8_(qtUtf8)
    , state_(std::make_unique<QTextCodec::ConverterState>())
{
    if (afterLineFeed) {
        // The decoder has then already seen text: let it see the line feed.
        (void)codec_->toUnicode("\n", 1, state_.get());
    }
}

void CodecPieceDecoder::restart()
{
    state_ = std::make_unique<QTextCodec::ConverterState>();
    (void)codec_->toUnicode("\n", 1, state_.get());
}

void CodecPieceDecoder::decodeWhole(const char *data, qsizetype size, QString &out)
{
    constexpr qsizetype step = 1 << 20;
    while (size > 0) {
        const qsizetype n = std::min(size, step);
        out += codec_->toUnicode(data, int(n), state_.get());
        data += n;
        size -= n;
    }
}

void CodecPieceDecoder::decode(const unsigned char *data, size_t size, QString &out)
{
    if (!qtUtf8_) {
        decodeWhole(reinterpret_cast<const char *>(data), qsizetype(size), out);
        return;
    }
    carry_.append(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto *bytes = reinterpret_cast<const unsigned char *>(carry_.constData());
    qsizetype cut = cleanUtf8Cut(bytes, carry_.size());
    if (cut < 0 && carry_.size() > 64) {
        // Nothing but broken sequences: end the run before its last sequence start, where a
        // whole decode would give up on the pending bytes anyway, and start afresh there.
        qsizetype start = carry_.size() - 1;
        while (start > 0 && isContinuation(bytes[start]))
            --start;
        if (start > 0) {
            QByteArray head = carry_.left(start);
            head.append('\n');
            QString text;
            decodeWhole(head.constData(), head.size(), text);
            text.chop(1);
            out += text;
            carry_.remove(0, start);
            restart();
            bytes = reinterpret_cast<const unsigned char *>(carry_.constData());
            cut = cleanUtf8Cut(bytes, carry_.size());
        }
    }
    if (cut > 0) {
        decodeWhole(carry_.constData(), cut, out);
        carry_.remove(0, cut);
    }
}

std::unique_ptr<PieceDecoder> SpareDecoders::afterLineFeed(QTextCodec *codec, bool qtUtf8)
{
    for (auto it = spares_.begin(); it != spares_.end(); ++it) {
        if ((*it)->codec_ == codec) {
            std::unique_ptr<PieceDecoder> decoder = std::move(*it);
            spares_.erase(it);
            return decoder;
        }
    }
    return std::make_unique<CodecPieceDecoder>(codec, qtUtf8, true);
}

void SpareDecoders::recycle(std::unique_ptr<PieceDecoder> decoder)
{
    auto *codecDecoder = dynamic_cast<CodecPieceDecoder *>(decoder.get());
    if (!codecDecoder || !codecDecoder->carry_.isEmpty() || spares_.size() >= 64)
        return;
    decoder.release();
    spares_.emplace_back(codecDecoder);
}

void CodecPieceDecoder::finish(QString &out)
{
    if (!carry_.isEmpty()) {
        decodeWhole(carry_.constData(), carry_.size(), out);
        carry_.clear();
    }
}

void TablePieceDecoder::decode(const unsigned char *data, size_t size, QString &out)
{
    const qsizetype start = out.size();
    out.resize(start + qsizetype(size));
    char16_t *dst = reinterpret_cast<char16_t *>(out.data()) + start;
    for (size_t i = 0; i < size; ++i)
        dst[i] = table_[data[i]];
}

quint32 readUnit(const unsigned char *at, int width, bool bigEndian)
{
    if (width == 2)
        return bigEndian ? quint32(at[0]) << 8 | at[1] : quint32(at[1]) << 8 | at[0];
    return bigEndian ? quint32(at[0]) << 24 | quint32(at[1]) << 16 | quint32(at[2]) << 8 | at[3]
                     : quint32(at[3]) << 24 | quint32(at[2]) << 16 | quint32(at[1]) << 8 | at[0];
}

void UnitPieceDecoder::appendUnit(quint32 value, int width, QString &out)
{
    if (width == 2 || value < 0x10000) {
        out += QChar(char16_t(value));
        return;
    }
    out += QChar(char16_t(((value >> 10) + 0xd7c0) & 0xffff));
    out += QChar(char16_t((value & 0x3ff) + 0xdc00));
}

void UnitPieceDecoder::decode(const unsigned char *data, size_t size, QString &out)
{
    while (carried_ > 0 && carried_ < width_ && size > 0) {
        carry_[carried_++] = *data++;
        --size;
    }
    if (carried_ == width_) {
        appendUnit(readUnit(carry_, width_, bigEndian_), width_, out);
        carried_ = 0;
    }
    out.reserve(out.size() + qsizetype(size / size_t(width_)) + 1);
    size_t i = 0;
    for (; i + size_t(width_) <= size; i += size_t(width_))
        appendUnit(readUnit(data + i, width_, bigEndian_), width_, out);
    for (; i < size; ++i)
        carry_[carried_++] = data[i];
}
