#include "content/codecmodel.h"

#include "content/recodetext.h"
#include "content/systemcodec.h"

#include <QTextCodec>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <unordered_map>

namespace {

QString decodeFresh(QTextCodec *codec, const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    return codec->toUnicode(bytes.constData(), int(bytes.size()), &state);
}

// The bytes a file free of some categories may hold, and the samples that probe a codec with
// them: made once per set of categories, as every codec is probed with the same ones.
struct ProbeSamples
{
    QByteArray allowed;
    std::array<QByteArray, 5> rounds;
};

ProbeSamples makeSamples(unsigned categories)
{
    ProbeSamples samples;
    const ByteSet excluded = bytecategory::bytesOf(categories);
    for (unsigned b = 0; b < 256; ++b) {
        if (!excluded.test(b))
            samples.allowed.append(char(b));
    }
    const QByteArray &allowed = samples.allowed;
    samples.rounds[0] = allowed;
    std::reverse(samples.rounds[0].begin(), samples.rounds[0].end());
    // Every byte before the openings of the escapes codecs are known to have (base64 runs,
    // HZ and ISO 2022 switches).
    static const char tails[] = "AAoAbQ-{<:Ky2;S{~}$B>.:Y(B$)C\x0e!!\x0f" "a\x81\xa1\xfe";
    QByteArray tail;
    for (const char t : QByteArrayView(tails)) {
        if (!excluded.test(uchar(t)))
            tail.append(t);
    }
    QByteArray &escapes = samples.rounds[1];
    escapes.reserve(allowed.size() * (tail.size() + 1));
    for (const char b : allowed) {
        escapes.append(b);
        escapes.append(tail);
    }
    // Then random text.
    std::mt19937 random(20240611u);
    std::uniform_int_distribution<int> pick(0, int(allowed.size()) - 1);
    for (size_t round = 2; round < samples.rounds.size(); ++round) {
        for (int i = 0; i < 384; ++i)
            samples.rounds[round].append(allowed[pick(random)]);
    }
    return samples;
}

const ProbeSamples &probeSamples(unsigned categories)
{
    static std::array<std::once_flag, bytecategory::All + 1> made;
    static std::array<ProbeSamples, bytecategory::All + 1> samples;
    std::call_once(made[categories], [categories] { samples[categories] = makeSamples(categories); });
    return samples[categories];
}

// True when every file free of `categories` decodes byte by byte; fills `table`.
bool probeTable(QTextCodec *codec, unsigned categories, std::array<char16_t, 256> &table)
{
    const ProbeSamples &samples = probeSamples(categories);
    const QByteArray &allowed = samples.allowed;
    const QString all = decodeFresh(codec, allowed);
    if (all.size() != allowed.size())
        return false;
    for (qsizetype i = 0; i < allowed.size(); ++i)
        table[uchar(allowed[i])] = all[i].unicode();
    for (const QByteArray &sample : samples.rounds) {
        const QString text = decodeFresh(codec, sample);
        if (text.size() != sample.size())
            return false;
        for (qsizetype i = 0; i < sample.size(); ++i) {
            if (text[i].unicode() != table[uchar(sample[i])])
                return false;
        }
    }
    return true;
}

// Codecs whose lines end at line feed bytes and in which a printable ASCII character only
// ever comes from its own byte (multi-byte sequences start with a byte above 0x7f).
bool isAsciiTransparent(const QByteArray &name)
{
    static const char *const names[] = {"UTF-8", "CESU-8", "GBK", "GB18030", "Big5", "Big5-HKSCS",
                                        "Shift_JIS", "EUC-JP", "windows-949"};
    for (const char *n : names) {
        if (name == n)
            return true;
    }
    return false;
}

// Recoding goes character by character; a codec that gives back every ASCII character, alone
// and among others, gives back any ASCII line.
bool asciiSurvivesDisplay(QTextCodec *codec)
{
    QTextCodec *display = displayCodec();
    if (!display)
        return false;
    static const QString samples[] = {
        QStringLiteral(" !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~\t"),
        QStringLiteral("\t~}|{zyxwvutsrqponmlkjihgfedcba`_^]\\[ZYXWVUTSRQPONMLKJIHGFEDCBA@?>=<;:9876543210/.-,+*)('&%$#\"! "),
        QStringLiteral("a+b+-c~d~~e~{f~}g+AG0-h\\i"), QStringLiteral("+"), QStringLiteral("~"), QStringLiteral("\\"),
    };
    for (const QString &sample : samples) {
        QString back;
        recodeText(sample, codec, display, back);
        if (back != sample)
            return false;
    }
    return true;
}

std::unique_ptr<CodecModel> buildModel(QTextCodec *codec)
{
    auto model = std::make_unique<CodecModel>();
    model->codec = codec;
    model->name = codec->name();
    const int mib = codec->mibEnum();

    switch (mib) {
    case 1013: model->units = CodecModel::Units::Utf16; model->endian = CodecModel::Endian::Big; break;
    case 1014: model->units = CodecModel::Units::Utf16; model->endian = CodecModel::Endian::Little; break;
    case 1015: model->units = CodecModel::Units::Utf16; model->endian = CodecModel::Endian::FromMark; break;
    case 1017: model->units = CodecModel::Units::Utf32; model->endian = CodecModel::Endian::FromMark; break;
    case 1018: model->units = CodecModel::Units::Utf32; model->endian = CodecModel::Endian::Big; break;
    case 1019: model->units = CodecModel::Units::Utf32; model->endian = CodecModel::Endian::Little; break;
    default: break;
    }
    if (model->units != CodecModel::Units::None) {
        // Without a byte-order mark these codecs read the host's order.
        model->markless16BigEndian = decodeFresh(codec, QByteArray("\0a", 2)) == QLatin1String("a");
        model->markless32BigEndian = decodeFresh(codec, QByteArray("\0\0\0a", 4)) == QLatin1String("a");
        return model;
    }

    model->qtUtf8 = mib == 106 && model->name == "UTF-8";
    // Bytes that open escapes of the stateful codecs, by their definitions: such a codec is a
    // table at best while a file holds none of them.
    unsigned escapeCategories = 0;
    if (model->name == "UTF-7")
        escapeCategories = bytecategory::Plus;
    else if (model->name == "HZ-GB-2312")
        escapeCategories = bytecategory::Tilde;
    else if (model->name.startsWith("ISO-2022"))
        escapeCategories = bytecategory::Shift;
    else if (model->name == "SCSU")
        escapeCategories = bytecategory::Control;
    static const unsigned candidates[] = {
        0,
        bytecategory::Shift,
        bytecategory::Plus,
        bytecategory::Tilde,
        bytecategory::High,
        bytecategory::Control,
        bytecategory::High | bytecategory::Plus,
        bytecategory::High | bytecategory::Tilde,
        bytecategory::High | bytecategory::Control,
    };
    for (const unsigned candidate : candidates) {
        const unsigned categories = candidate | escapeCategories;
        if (model->name == "BOCU-1")
            break;   // every character is a difference from the one before
        if (probeTable(codec, categories, model->table)) {
            model->hasTable = true;
            model->triggerCategories = categories;
            model->triggers = bytecategory::bytesOf(categories);
            break;
        }
    }
    if (model->hasTable) {
        int lineFeeds = 0;
        for (unsigned b = 0; b < 256; ++b) {
            if (!model->triggers.test(b) && model->table[b] == u'\n') {
                model->lineFeedByte = int(b);
                ++lineFeeds;
            }
        }
        if (lineFeeds != 1)
            model->lineFeedByte = -1;
    }

    const bool lineFeedIsAscii = model->lineFeedByte == '\n';
    if (model->triggerCategories == bytecategory::High && lineFeedIsAscii && isAsciiTransparent(model->name)) {
        model->special = CodecModel::Special::Transparent;
    } else if (lineFeedIsAscii && model->triggerCategories == bytecategory::Plus && model->name == "UTF-7") {
        model->special = CodecModel::Special::Segments;
        model->base64Runs = true;
    } else if (lineFeedIsAscii && model->triggerCategories == bytecategory::High && model->name == "TSCII") {
        model->special = CodecModel::Special::Segments;
    } else if (lineFeedIsAscii && model->triggerCategories == bytecategory::Tilde && model->name == "HZ-GB-2312") {
        model->special = CodecModel::Special::Segments;
        model->hzEscapes = true;
    } else {
        model->special = CodecModel::Special::Whole;
    }
    model->bocuGate = model->name == "BOCU-1";
    if (model->name.startsWith("ISO-2022"))
        model->quietGaps = QuietGaps::Shifts;
    else if (model->name == "HZ-GB-2312")
        model->quietGaps = QuietGaps::Tildes;
    else if (model->name == "SCSU")
        model->quietGaps = QuietGaps::Tags;
    else if (model->name == "TSCII")
        model->quietGaps = QuietGaps::Highs;
    else if (model->base64Runs)
        model->quietGaps = QuietGaps::Runs;
    return model;
}

} // namespace

bool segmentMayMakeCharacters(const CodecModel &model, const unsigned char *data, size_t size,
                              const std::vector<char16_t> &units)
{
    if (!model.base64Runs)
        return false;
    const auto base64Value = [](unsigned char b) -> int {
        if (b >= 'A' && b <= 'Z')
            return b - 'A';
        if (b >= 'a' && b <= 'z')
            return b - 'a' + 26;
        if (b >= '0' && b <= '9')
            return b - '0' + 52;
        return b == '+' ? 62 : b == '/' ? 63 : -1;
    };
    // '+' opens a run of base64 characters; every 16 bits of it are a unit, as the decoder
    // reads them. A run ends at the first other byte.
    for (size_t i = 0; i < size; ++i) {
        const void *plus = std::memchr(data + i, '+', size - i);
        if (!plus)
            return false;
        i = size_t(static_cast<const unsigned char *>(plus) - data);
        quint32 bits = 0;
        int held = 0;
        size_t at = i + 1;
        for (int value; at < size && (value = base64Value(data[at])) >= 0; ++at) {
            bits = (bits << 6) | quint32(value);
            held += 6;
            if (held >= 16) {
                held -= 16;
                const char16_t unit = char16_t(bits >> held);
                if (std::binary_search(units.begin(), units.end(), unit))
                    return true;
            }
        }
        i = at - 1;
    }
    return false;
}

bool CodecModel::displaysAscii() const
{
    std::call_once(displayChecked_, [this] { displaysAscii_ = asciiSurvivesDisplay(codec); });
    return displaysAscii_;
}

namespace {

struct ModelSlot
{
    bool building = false;
    std::unique_ptr<CodecModel> model;
};

// The models of the process, as long as the codecs: a slot is claimed by the thread that builds
// it, and the others wait for it (or, preparing, build another meanwhile).
struct ModelStore
{
    std::mutex mutex;
    std::condition_variable built;
    std::unordered_map<QTextCodec *, ModelSlot> models;   // slots stay where they are

    // Builds the slot's model unless it is built or being built; called with the lock held.
    void claimAndBuild(std::unique_lock<std::mutex> &lock, QTextCodec *codec, ModelSlot &slot, bool forDeep)
    {
        if (slot.model || slot.building)
            return;
        slot.building = true;
        lock.unlock();
        std::unique_ptr<CodecModel> model = buildModel(codec);
        if (forDeep)
            model->displaysAscii();
        lock.lock();
        slot.model = std::move(model);
        slot.building = false;
        built.notify_all();
    }
};

ModelStore &modelStore()
{
    static ModelStore store;
    return store;
}

} // namespace

const CodecModel &codecModel(QTextCodec *codec)
{
    ModelStore &store = modelStore();
    std::unique_lock<std::mutex> lock(store.mutex);
    ModelSlot &slot = store.models[codec];
    store.claimAndBuild(lock, codec, slot, false);
    store.built.wait(lock, [&] { return slot.model != nullptr; });
    return *slot.model;
}

void prepareCodecModels(const std::vector<QTextCodec *> &codecs)
{
    ModelStore &store = modelStore();
    std::unique_lock<std::mutex> lock(store.mutex);
    for (QTextCodec *codec : codecs)
        store.claimAndBuild(lock, codec, store.models[codec], true);
}
