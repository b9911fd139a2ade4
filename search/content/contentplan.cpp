#include "content/contentplan.h"

#include "content/codecmodel.h"
#include "content/recodetext.h"
#include "walk/searchoptions.h"
#include "content/systemcodec.h"

#include <QTextCodec>

ContentPlan::ContentPlan(const QString &text, Qt::CaseSensitivity cs, bool deep, const TCodecTexts &codecTexts)
    : deep_(deep)
    , cs_(cs)
    , grepText_(text)
{
    if (!deep_)
        return;
    displayCodec_ = displayCodec();
    needsCategories_ = true;
    // The text as the program holds it, and so as every codec that can hold it gives it back.
    QTextCodec *system = systemCodec();
    QString held;
    recodeText(text, system, system, held);
    // A codec that cannot hold the text would look for what it makes of it instead ("??" for
    // "合同"), and find lines that hold no such text.
    std::vector<QTextCodec *> codecs;
    for (const auto &entry : codecTexts) {
        if (entry.first && entry.second == held)
            codecs.push_back(entry.first);
    }
    prepareCodecModels(codecs);
    for (const auto &entry : codecTexts) {
        QTextCodec *codec = entry.first;
        if (!codec || entry.second != held)
            continue;
        const QString prefix = QLatin1Char('[') + QString::fromLatin1(codec->name()) + QLatin1String("]\t");
        const int index = addPass(codec, held, prefix);
        if (passes_[size_t(index)].model->hzEscapes)
            needsHzCheck_ = true;
    }
}

int ContentPlan::addPass(QTextCodec *codec, const QString &text, const QString &prefix)
{
    Pass pass;
    pass.codec = codec;
    pass.model = &codecModel(codec);
    pass.needle = NeedlePlan::build(text, cs_, *pass.model);
    pass.hitPrefix = prefix;
    pass.keepsAscii = deep_ && displayCodec_ && pass.model->displaysAscii();
    pass.quietGate = quietGateFor(*pass.model, text);
    longestText_ = std::max(longestText_, text.size());
    const NeedlePlan &needle = pass.needle;
    if (pass.model->hasTable) {
        pass.tablePattern = BytePattern(needle.tableClasses);
        pass.triggerPattern = BytePattern({pass.model->triggers});
        if (!needle.pureRun.empty())
            pass.pureRunPattern = BytePattern(needle.pureRun);
    }
    if (!needle.bocuRun.empty())
        pass.bocuPattern = BytePattern(needle.bocuRun);
    if (pass.model->units != CodecModel::Units::None) {
        const int width = pass.model->units == CodecModel::Units::Utf16 ? 2 : 4;
        const int first = width == 2 ? 0 : 2;
        pass.unitPatterns[first] = BytePattern(needle.unitPattern(width, false));
        pass.unitPatterns[first + 1] = BytePattern(needle.unitPattern(width, true));
    }
    for (size_t i = 0; i < passes_.size(); ++i) {
        if (passes_[i].codec == codec && passes_[i].needle.text == text) {
            pass.sameAs = int(i);
            break;
        }
    }
    passes_.push_back(std::move(pass));
    return int(passes_.size()) - 1;
}

int ContentPlan::quietGateFor(const CodecModel &model, const QString &text)
{
    // The patterns' part of the text is enough: a file without it has no whole text either.
    const std::vector<ByteSet> classes = quietGateClasses(text.left(NeedlePlan::kPatternChars), cs_, model.quietGaps);
    if (classes.empty())
        return -1;
    for (size_t i = 0; i < quietGates_.size(); ++i) {
        if (quietGates_[i].gaps() == model.quietGaps && quietGates_[i].classes() == classes)
            return int(i);
    }
    quietGates_.emplace_back(classes, model.quietGaps);
    return int(quietGates_.size()) - 1;
}

QTextCodec *ContentPlan::plainCodec(FileFacts::Mark mark) const
{
    switch (mark) {
    case FileFacts::Utf32BeMark: return QTextCodec::codecForMib(1018);
    case FileFacts::Utf32LeMark: return QTextCodec::codecForMib(1019);
    case FileFacts::Utf16BeMark: return QTextCodec::codecForMib(1013);
    case FileFacts::Utf16LeMark: return QTextCodec::codecForMib(1014);
    case FileFacts::Utf8Mark: return QTextCodec::codecForMib(106);
    case FileFacts::NoMark: break;
    }
    return systemCodec();
}

int ContentPlan::plainPass(QTextCodec *codec)
{
    auto it = plainPasses_.constFind(codec);
    if (it != plainPasses_.constEnd())
        return it.value();
    const int index = addPass(codec, grepText_, QString());
    const CodecModel &model = *passes_[size_t(index)].model;
    if (model.hasTable && model.triggerCategories && model.special == CodecModel::Special::Whole)
        needsCategories_ = true;
    if (model.hzEscapes)
        needsHzCheck_ = true;
    plainPasses_.insert(codec, index);
    return index;
}

bool ContentPlan::needsCategories(FileFacts::Mark mark)
{
    if (!deep_)
        plainPass(plainCodec(mark));
    return needsCategories_;
}

QString ContentPlan::hitText(int index, const QString &linePrefix) const
{
    const Pass &p = pass(index);
    if (!deep_)
        return linePrefix.left(80);
    const QString line = linePrefix.left(p.keepsAscii ? 80 : linePrefix.size());
    if (p.keepsAscii) {
        bool ascii = true;
        for (const QChar c : line) {
            if ((c.unicode() < 0x20 && c.unicode() != '\t') || c.unicode() > 0x7e) {
                ascii = false;
                break;
            }
        }
        if (ascii)
            return p.hitPrefix + line;
    }
    QString shown = linePrefix;
    if (displayCodec_)
        recodeText(linePrefix, p.codec, displayCodec_, shown);
    return p.hitPrefix + shown.left(80);
}
