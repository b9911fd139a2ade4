#include "content/needleplan.h"

#include "content/casefold.h"
#include "content/codecmodel.h"
#include "content/piecedecoder.h"

#include <QSet>
#include <QTextCodec>

#include <algorithm>
#include <cstring>

namespace {

bool isSurrogate(char16_t u)
{
    return u >= 0xd800 && u <= 0xdfff;
}

std::vector<ByteSet> longestRun(const std::vector<ByteSet> &classes, const std::vector<bool> &usable)
{
    size_t bestStart = 0, bestLength = 0;
    for (size_t i = 0; i < classes.size();) {
        if (!usable[i]) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < classes.size() && usable[j])
            ++j;
        if (j - i > bestLength) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j;
    }
    return std::vector<ByteSet>(classes.begin() + qsizetype(bestStart),
                                classes.begin() + qsizetype(bestStart + bestLength));
}

// BOCU-1 writes a character as its difference from a state fixed by the previous character
// (a space leaves the state alone), and every difference has exactly one byte sequence. So
// after the first character whose state is known, each character of a match is fixed bytes.
// The bytes are learnt from the codec's own encoder, in several contexts.
std::vector<ByteSet> bocuDifferenceRun(const QString &text, Qt::CaseSensitivity cs, QTextCodec *codec)
{
    static const QString contexts[] = {QString(), QStringLiteral("a"), QStringLiteral("\u4e2d"),
                                       QStringLiteral("\n"), QStringLiteral("\u30a2"), QStringLiteral("\u03a9")};
    std::vector<ByteSet> best, run;
    const auto endRun = [&] {
        if (run.size() > best.size())
            best = run;
        run.clear();
    };
    for (qsizetype i = 1; i < text.size(); ++i) {
        qsizetype j = i - 1;
        while (j >= 0 && text[j] == QLatin1Char(' '))
            --j;
        if (j < 0) {
            endRun();
            continue;
        }
        // The encodings of this character, over its case variants and those of its context.
        QSet<QByteArray> encodings;
        bool fixed = true;
        const QString spaces = text.mid(j + 1, i - j - 1);
        for (const char16_t u : casefold::variants(text[j].unicode(), cs)) {
            for (const char16_t v : casefold::variants(text[i].unicode(), cs)) {
                QByteArray encoding;
                for (const QString &context : contexts) {
                    const QString head = context + QChar(u) + spaces;
                    const QByteArray a = codec->fromUnicode(head);
                    const QByteArray b = codec->fromUnicode(head + QChar(v));
                    if (b.size() <= a.size() || !b.startsWith(a) || (!encoding.isEmpty() && b.mid(a.size()) != encoding)) {
                        fixed = false;
                        break;
                    }
                    encoding = b.mid(a.size());
                }
                if (!fixed)
                    break;
                encodings.insert(encoding);
            }
            if (!fixed)
                break;
        }
        if (fixed && encodings.size() == 1) {
            for (const char byte : *encodings.begin()) {
                ByteSet set;
                set.set(uchar(byte));
                run.push_back(set);
            }
        } else if (fixed && std::all_of(encodings.begin(), encodings.end(), [](const QByteArray &e) { return e.size() == 1; })) {
            ByteSet set;
            for (const QByteArray &e : encodings)
                set.set(uchar(e[0]));
            run.push_back(set);
        } else {
            endRun();
        }
    }
    endRun();
    return best;
}

} // namespace

NeedlePlan NeedlePlan::build(const QString &text, Qt::CaseSensitivity cs, const CodecModel &model)
{
    NeedlePlan plan;
    plan.text = text;
    plan.cs = cs;
    plan.hasLineFeed = text.contains(QLatin1Char('\n'));
    plan.endsWithReturn = text.endsWith(QLatin1Char('\r'));
    for (const QChar c : text) {
        if (isSurrogate(c.unicode()))
            plan.hasSurrogate = true;
    }
    plan.patternCut = text.size() > kPatternChars;
    const QString head = text.left(kPatternChars);

    if (model.hasTable) {
        plan.tableClasses.resize(size_t(head.size()));
        for (qsizetype i = 0; i < head.size(); ++i) {
            ByteSet &set = plan.tableClasses[size_t(i)];
            for (unsigned b = 0; b < 256; ++b) {
                if (!model.triggers.test(b) && casefold::unitsMatch(model.table[b], head[i].unicode(), cs))
                    set.set(b);
            }
        }
        plan.tableExact = !plan.hasSurrogate && !plan.patternCut;

        if (model.special == CodecModel::Special::Segments) {
            static const char *const rarity = "zqjxkvbpgwyfmculdhrsnioate";   // rarest letters first
            int best = 1000;
            for (qsizetype i = 0; i < text.size(); ++i) {
                ByteSet bytes;
                bool eligible = true;
                for (const char16_t v : casefold::variants(text[i].unicode(), cs)) {
                    if (v < 0x20 || v > 0x7e || model.triggers.test(v) || model.table[v] != v)
                        eligible = false;
                    else
                        bytes.set(v);
                }
                if (!eligible)
                    continue;
                const char lower = char(QChar::toLower(text[i].unicode()));
                const char *at = std::strchr(rarity, lower);
                const int rank = (at && lower) ? int(at - rarity) : (lower == ' ' ? 200 : 100);
                if (rank < best) {
                    best = rank;
                    plan.segmentRequired = bytes;
                }
            }
        }
        if (model.base64Runs) {
            plan.segmentUnits.push_back(u'\n');
            for (const QChar c : text) {
                for (const char16_t v : casefold::variants(c.unicode(), cs))
                    plan.segmentUnits.push_back(v);
            }
            std::sort(plan.segmentUnits.begin(), plan.segmentUnits.end());
            plan.segmentUnits.erase(std::unique(plan.segmentUnits.begin(), plan.segmentUnits.end()),
                                    plan.segmentUnits.end());
        }
        if (model.special == CodecModel::Special::Transparent) {
            std::vector<bool> pure(size_t(head.size()), false);
            for (qsizetype i = 0; i < head.size(); ++i) {
                bool isPure = true;
                for (const char16_t v : casefold::variants(head[i].unicode(), cs)) {
                    if (v < 0x20 || v > 0x7e || model.triggers.test(v) || model.table[v] != v)
                        isPure = false;
                }
                pure[size_t(i)] = isPure;
            }
            plan.pureRun = longestRun(plan.tableClasses, pure);
        }
    }

    if (model.units != CodecModel::Units::None) {
        for (const QChar c : head)
            plan.unitClasses.push_back(casefold::variants(c.unicode(), cs));
    }

    if (model.bocuGate && !plan.hasSurrogate)
        plan.bocuRun = bocuDifferenceRun(head, cs, model.codec);
    return plan;
}

std::vector<ByteSet> NeedlePlan::unitPattern(int width, bool bigEndian) const
{
    std::vector<ByteSet> classes;
    for (size_t i = 0; i < unitClasses.size(); ++i) {
        const bool open = width == 4 && i + 1 == unitClasses.size();
        ByteSet bytes[4];
        if (open) {
            // Either the value is the unit, or it is above 0xffff and Qt's first half of it,
            // ((value >> 10) + 0xd7c0) & 0xffff, is the unit: bits 10 to 25 of the value are
            // then fixed, which in little-endian order are bits 2-7 of byte 1, byte 2 and bits
            // 0-1 of byte 3.
            for (const char16_t u : unitClasses[i]) {
                const unsigned k = (unsigned(u) - 0xd7c0u) & 0xffffu;
                ByteSet little[4];
                little[0].set(u & 0xff);
                little[1].set(u >> 8);
                little[2].set(0);
                little[3].set(0);
                for (unsigned b = 0; b < 256; ++b) {
                    little[0].set(b);   // any low byte for a value above 0xffff
                    if ((b >> 2) == (k & 0x3f))
                        little[1].set(b);
                    if ((b & 3) == (k >> 14))
                        little[3].set(b);
                }
                little[2].set((k >> 6) & 0xff);
                for (int n = 0; n < 4; ++n)
                    bytes[bigEndian ? 3 - n : n] |= little[n];
            }
        } else {
            for (const char16_t u : unitClasses[i]) {
                const unsigned char lo = uchar(u & 0xff), hi = uchar(u >> 8);
                if (width == 2) {
                    bytes[bigEndian ? 1 : 0].set(lo);
                    bytes[bigEndian ? 0 : 1].set(hi);
                } else {
                    bytes[bigEndian ? 3 : 0].set(lo);
                    bytes[bigEndian ? 2 : 1].set(hi);
                    bytes[bigEndian ? 1 : 2].set(0);
                    bytes[bigEndian ? 0 : 3].set(0);
                }
            }
        }
        for (int k = 0; k < width; ++k)
            classes.push_back(bytes[k]);
    }
    return classes;
}

bool NeedlePlan::unitMatchesAt(const unsigned char *at, int width, bool bigEndian) const
{
    for (size_t i = 0; i < unitClasses.size(); ++i) {
        const quint32 value = readUnit(at + i * size_t(width), width, bigEndian);
        char16_t unit;
        if (value < 0x10000)
            unit = char16_t(value);
        else if (width == 4 && i + 1 == unitClasses.size())
            unit = char16_t(((value >> 10) + 0xd7c0) & 0xffff);   // first half of what Qt makes of it
        else
            return false;
        const auto &cls = unitClasses[i];
        if (std::find(cls.begin(), cls.end(), unit) == cls.end())
            return false;
    }
    return true;
}
