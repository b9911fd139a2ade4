// Which passes a file needs, given what its bytes tell: the part of the content plan that
// decides, per kind of file, how each codec pass reads it and which passes can be left out.

#include "content/contentplan.h"

#include "content/codecmodel.h"

#include <QTextCodec>

const Schedule &ContentPlan::schedule(const FileFacts &facts)
{
    const unsigned key = facts.key() | (deep_ ? 0u : unsigned(plainPass(plainCodec(facts.mark))) << 10);
    auto it = schedules_.constFind(key);
    if (it != schedules_.constEnd())
        return *it.value();
    std::unique_ptr<Schedule> built = buildSchedule(facts);
    Schedule *raw = built.get();
    ownedSchedules_.push_back(std::move(built));
    schedules_.insert(key, raw);
    return *raw;
}

std::unique_ptr<Schedule> ContentPlan::buildSchedule(const FileFacts &facts)
{
    auto schedule = std::make_unique<Schedule>();
    std::vector<std::pair<int, std::vector<ByteSet>>> signatures;
    if (deep_) {
        for (size_t i = 0; i < passes_.size(); ++i)
            schedulePass(*schedule, int(i), facts, signatures);
    } else {
        schedulePass(*schedule, plainPass(plainCodec(facts.mark)), facts, signatures);
    }
    return schedule;
}

namespace {

int addPattern(Schedule &schedule, const BytePattern &pattern)
{
    for (size_t i = 0; i < schedule.patterns.size(); ++i) {
        if (schedule.patterns[i] == pattern)
            return int(i);
    }
    schedule.patterns.push_back(std::move(pattern));
    return int(schedule.patterns.size()) - 1;
}

// Where the units of a UTF-16/UTF-32 codec start in a file and in which order they come.
void unitLayout(const CodecModel &model, FileFacts::Mark mark, PassRun &run)
{
    const bool utf16 = model.units == CodecModel::Units::Utf16;
    run.unitWidth = utf16 ? 2 : 4;
    const bool littleMark = utf16 ? (mark == FileFacts::Utf16LeMark || mark == FileFacts::Utf32LeMark)
                                  : mark == FileFacts::Utf32LeMark;
    const bool bigMark = utf16 ? mark == FileFacts::Utf16BeMark : mark == FileFacts::Utf32BeMark;
    switch (model.endian) {
    case CodecModel::Endian::Little:
        run.bigEndian = false;
        run.markLength = littleMark ? run.unitWidth : 0;
        break;
    case CodecModel::Endian::Big:
        run.bigEndian = true;
        run.markLength = bigMark ? run.unitWidth : 0;
        break;
    case CodecModel::Endian::FromMark:
        if (littleMark || bigMark) {
            run.bigEndian = bigMark;
            run.markLength = run.unitWidth;
        } else {
            run.bigEndian = utf16 ? model.markless16BigEndian : model.markless32BigEndian;
            run.markLength = 0;
        }
        break;
    }
}

} // namespace

void ContentPlan::schedulePass(Schedule &schedule, int index, const FileFacts &facts,
                               std::vector<std::pair<int, std::vector<ByteSet>>> &signatures)
{
    const Pass &p = passes_[size_t(index)];
    const NeedlePlan &needle = p.needle;
    const CodecModel &model = *p.model;
    if (p.sameAs >= 0 || needle.hasLineFeed)
        return;   // adds nothing: the same pass ran before, or no line can hold the text

    PassRun run;
    run.pass = index;
    if (needle.text.isEmpty()) {
        run.kind = PassRun::Kind::Whole;   // every line matches, even an unreadable file's one
        schedule.runs.push_back(run);
        return;
    }

    if (model.units != CodecModel::Units::None) {
        unitLayout(model, facts.mark, run);
        if (needle.hasSurrogate) {
            run.kind = PassRun::Kind::Whole;   // pairs fold and join as characters: decode all
            schedule.runs.push_back(run);
            return;
        }
        for (const PassRun &earlier : schedule.runs) {
            if (earlier.kind == PassRun::Kind::Units && earlier.unitWidth == run.unitWidth
                && earlier.bigEndian == run.bigEndian && earlier.markLength == run.markLength
                && passes_[size_t(earlier.pass)].needle.text == needle.text)
                return;
        }
        const BytePattern &pattern = p.unitPatterns[(run.unitWidth == 2 ? 0 : 2) + (run.bigEndian ? 1 : 0)];
        if (!pattern.canOccurIn(facts.possibleBytes()))
            return;   // e.g. ASCII text in UTF-16 needs NUL bytes, and the file has none
        run.kind = PassRun::Kind::Units;
        run.pattern = addPattern(schedule, pattern);
        schedule.runs.push_back(run);
        return;
    }

    if (model.hasTable && model.lineFeedByte >= 0) {
        run.kind = PassRun::Kind::Lines;
        run.lineFeed = uchar(model.lineFeedByte);
        run.pattern = addPattern(schedule, p.tablePattern);
        run.exactPlain = needle.tableExact && !needle.endsWithReturn;
        if ((facts.categories & model.triggerCategories) == 0) {
            // The file decodes byte by byte. A pass that reads the bytes this file can hold
            // exactly as an earlier one does finds the same lines, which are reported already.
            run.policy = PassRun::Policy::Table;
            if (needle.tableExact) {
                const ByteSet possible = facts.possibleBytes();
                std::vector<ByteSet> signature;
                ByteSet lineFeeds, returns;
                for (unsigned b = 0; b < 256; ++b) {
                    lineFeeds.set(b, model.table[b] == u'\n');
                    returns.set(b, model.table[b] == u'\r');
                }
                signature.push_back(lineFeeds & possible);
                signature.push_back(returns & possible);
                for (const ByteSet &set : needle.tableClasses) {
                    if ((set & possible).none())
                        return;   // a character of the text cannot occur in this file
                    signature.push_back(set & possible);
                }
                for (const auto &earlier : signatures) {
                    if (earlier.second == signature)
                        return;
                }
                signatures.emplace_back(index, std::move(signature));
            }
            schedule.runs.push_back(run);
            return;
        }
        switch (model.special) {
        case CodecModel::Special::Transparent:
            run.policy = PassRun::Policy::Transparent;
            run.specialIsTrigger = needle.pureRun.empty();
            run.specialPattern = addPattern(schedule, run.specialIsTrigger ? p.triggerPattern : p.pureRunPattern);
            schedule.runs.push_back(run);
            return;
        case CodecModel::Special::Segments:
            if (model.hzEscapes && (facts.hzShiftIn || facts.hzContinuation))
                break;
            run.policy = PassRun::Policy::Segments;
            run.triggerPattern = addPattern(schedule, p.triggerPattern);
            schedule.runs.push_back(run);
            return;
        case CodecModel::Special::Whole:
            break;
        }
    }

    run = PassRun();
    run.pass = index;
    run.kind = PassRun::Kind::Whole;
    run.continuedLines = model.hzEscapes && !facts.hzShiftIn && p.quietGate >= 0;
    if (model.bocuGate && !needle.bocuRun.empty()) {
        if (!p.bocuPattern.canOccurIn(facts.possibleBytes()))
            return;
        run.gatePattern = addPattern(schedule, p.bocuPattern);
    }
    schedule.runs.push_back(run);
}
