#pragma once

#include <QByteArray>
#include <QString>
#include <QTextCodec>

#include <array>
#include <memory>
#include <vector>

struct CodecModel;

// Decodes a run of bytes handed over piece by piece into exactly the text one decode of the
// whole run gives. Decoded text is appended to `out`.
class PieceDecoder
{
public:
    virtual ~PieceDecoder() = default;
    virtual void decode(const unsigned char *data, size_t size, QString &out) = 0;
    // The run ends here: decode what was held back (a decoder is not flushed, so a partial
    // sequence still gives nothing).
    virtual void finish(QString &) {}
};

// Through the codec with one converter state. Qt's UTF-8 decoder loses a byte when an invalid
// sequence is split between two calls, so it is only handed whole sequences.
class CodecPieceDecoder : public PieceDecoder
{
public:
    // `afterLineFeed`: the run follows a line feed of the same stream, so a byte-order mark
    // at its start is text, not a header.
    CodecPieceDecoder(QTextCodec *codec, bool qtUtf8, bool afterLineFeed);
    void decode(const unsigned char *data, size_t size, QString &out) override;
    void finish(QString &out) override;

private:
    friend class SpareDecoders;
    void decodeWhole(const char *data, qsizetype size, QString &out);
    void restart();

    QTextCodec *codec_;
    bool qtUtf8_;
    std::unique_ptr<QTextCodec::ConverterState> state_;
    QByteArray carry_;
};

// For codecs whose state after a line feed is always the same: decoders in that state, kept
// for the next line (opening a converter costs more than decoding a line).
class SpareDecoders
{
public:
    // A decoder that has just seen a line feed: a spare one if there is one.
    std::unique_ptr<PieceDecoder> afterLineFeed(QTextCodec *codec, bool qtUtf8);
    // The way back for a codec decoder whose last byte was a line feed.
    void recycle(std::unique_ptr<PieceDecoder> decoder);

private:
    std::vector<std::unique_ptr<CodecPieceDecoder>> spares_;
};

// One table entry per byte.
class TablePieceDecoder : public PieceDecoder
{
public:
    explicit TablePieceDecoder(const std::array<char16_t, 256> &table) : table_(table) {}
    void decode(const unsigned char *data, size_t size, QString &out) override;

private:
    const std::array<char16_t, 256> &table_;
};

// Qt's UTF-16 and UTF-32 decoders after any byte-order mark: units are taken as they come,
// and a 32-bit value above 0xffff becomes the two units Qt derives from it, valid or not.
class UnitPieceDecoder : public PieceDecoder
{
public:
    UnitPieceDecoder(int width, bool bigEndian) : width_(width), bigEndian_(bigEndian) {}
    void decode(const unsigned char *data, size_t size, QString &out) override;
    static void appendUnit(quint32 value, int width, QString &out);

private:
    int width_;
    bool bigEndian_;
    unsigned char carry_[4] = {};
    int carried_ = 0;
};

quint32 readUnit(const unsigned char *at, int width, bool bigEndian);
