#pragma once

#include "content/bytepattern.h"
#include "content/filefacts.h"
#include "content/needleplan.h"
#include "content/quietgaps.h"
#include "walk/searchoptions.h"

#include <QHash>
#include <QString>

#include <memory>
#include <vector>

class QTextCodec;
struct CodecModel;

// How one pass reads a file.
struct PassRun
{
    enum class Kind {
        Lines,   // lines end at one byte; see `policy`
        Units,   // UTF-16/UTF-32 units
        Whole,   // decode the whole file from its start
    };
    enum class Policy { Table, Transparent, Segments };

    int pass = -1;
    Kind kind = Kind::Whole;
    Policy policy = Policy::Table;
    unsigned char lineFeed = '\n';
    int pattern = -1;         // index into Schedule::patterns: candidates for plain lines
    int specialPattern = -1;  // Transparent: candidates for lines with trigger bytes
    bool specialIsTrigger = false;   // ... which are the trigger bytes themselves
    int triggerPattern = -1;  // Segments: trigger bytes
    bool exactPlain = false;  // a candidate on a plain line is a match
    // Units
    int unitWidth = 0;
    bool bigEndian = false;
    int markLength = 0;
    // Whole
    int gatePattern = -1;     // the file must hold this, or the pass has no hit
    bool continuedLines = false;   // HZ without "~{": lines that the quiet gate opens, alone
};

struct Schedule
{
    std::vector<BytePattern> patterns;
    std::vector<PassRun> runs;
};

// Everything a search prepares once for all files: one pass per codec (deep search) or the
// pass for each codec plain mode may read a file in.
class ContentPlan
{
public:
    struct Pass
    {
        QTextCodec *codec = nullptr;
        const CodecModel *model = nullptr;
        NeedlePlan needle;
        QString hitPrefix;       // deep search: "[name]\t"
        bool keepsAscii = false; // deep search: ASCII comes back unchanged through the display recoding
        // The byte patterns of the text, made once.
        BytePattern tablePattern;
        BytePattern pureRunPattern;
        BytePattern triggerPattern;
        BytePattern bocuPattern;
        BytePattern unitPatterns[4];   // UTF-16 LE, BE, UTF-32 LE, BE
        int sameAs = -1;         // an earlier pass with the same codec and text
        int quietGate = -1;      // codecs with quiet switches: see quietGate()
    };

    // Deep search runs a pass for every codec of `codecTexts` whose prepared text is `text`
    // itself, that is every codec that can hold the text; the others could only find lines
    // that hold what they make of it. Plain mode makes its passes as files need them.
    ContentPlan(const QString &text, Qt::CaseSensitivity cs, bool deep, const TCodecTexts &codecTexts);
    ContentPlan(const ContentPlan &) = delete;
    ContentPlan &operator=(const ContentPlan &) = delete;

    bool deep() const { return deep_; }
    // The longest search text of any pass, in UTF-16 units.
    qsizetype longestText() const { return longestText_; }
    Qt::CaseSensitivity caseSensitivity() const { return cs_; }
    const Pass &pass(int index) const { return passes_[size_t(index)]; }
    // A text of printable ASCII that a codec with quiet switches only gives where bytes hold
    // it, switches between at most: bytes without it need no decoding. Shared by the passes
    // with the same text and kind of switches.
    const QuietGate &quietGate(int index) const { return quietGates_[size_t(index)]; }
    int quietGateCount() const { return int(quietGates_.size()); }
    int passCount() const { return int(passes_.size()); }
    // Whether the passes for a file with this mark need its byte categories.
    bool needsCategories(FileFacts::Mark mark);
    bool needsHzCheck() const { return needsHzCheck_; }

    // The passes that can add hits to a file with these facts, in order.
    const Schedule &schedule(const FileFacts &facts);
    // Plain mode: the codec a file is read with.
    QTextCodec *plainCodec(FileFacts::Mark mark) const;

    QString hitText(int pass, const QString &linePrefix) const;

private:
    int plainPass(QTextCodec *codec);
    int addPass(QTextCodec *codec, const QString &text, const QString &prefix);
    int quietGateFor(const CodecModel &model, const QString &text);
    std::unique_ptr<Schedule> buildSchedule(const FileFacts &facts);
    void schedulePass(Schedule &schedule, int index, const FileFacts &facts,
                      std::vector<std::pair<int, std::vector<std::bitset<256>>>> &signatures);

    bool deep_ = false;
    Qt::CaseSensitivity cs_ = Qt::CaseSensitive;
    QString grepText_;
    std::vector<Pass> passes_;
    std::vector<QuietGate> quietGates_;
    QHash<QTextCodec *, int> plainPasses_;
    QHash<unsigned, Schedule *> schedules_;
    std::vector<std::unique_ptr<Schedule>> ownedSchedules_;
    QTextCodec *displayCodec_ = nullptr;
    bool needsCategories_ = false;
    bool needsHzCheck_ = false;
    qsizetype longestText_ = 0;
};
