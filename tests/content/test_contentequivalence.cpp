// The fast content search against the straightforward one, on the whole corpus, in both modes
// and case rules, with chunk and block sizes that put boundaries everywhere.

#include "content/contentchunking.h"
#include "contentcorpus.h"
#include "content/grepfile.h"
#include "referencegrep.h"
#include "walk/searchoptions.h"
#include "walk/searchthread.h"
#include "temptree.h"

#include <QTest>

class ContentEquivalenceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void plainSearchGivesTheReferenceHits();
    void deepSearchGivesTheReferenceHits();
    void archiveStyleNamesAndMissingFilesToo();

private:
    void compareAll(bool deep);

    TempTree tree_;
    QList<CorpusFile> corpus_;
    QStringList paths_;
};

namespace {

TSearchOptions optionsFor(const QString &text, Qt::CaseSensitivity cs, bool deep)
{
    if (!deep) {
        TSearchOptions options;
        options.grepText = text;
        options.caseSensitivity = cs;
        return options;
    }
    searchThread worker;
    worker.setSearchParam({}, {QStringLiteral("*")}, text, cs, true, false, true);
    return worker.searchOptions();
}

QString describe(const QList<TFileInfo> &hits)
{
    QStringList lines;
    for (const TFileInfo &h : hits)
        lines << QStringLiteral("  %1:%2:%3").arg(h.fileName).arg(h.lineNo).arg(h.lineText.toHtmlEscaped());
    return lines.isEmpty() ? QStringLiteral("  (none)") : lines.join(QLatin1Char('\n'));
}

const QList<ContentChunking> &chunkings()
{
    static const QList<ContentChunking> list{ContentChunking(), ContentChunking{8, 3, 1}, ContentChunking{60, 17, 7},
                                             ContentChunking{4096, 1000, 333}};
    return list;
}

} // namespace

void ContentEquivalenceTest::initTestCase()
{
    QVERIFY(tree_.isValid());
    corpus_ = contentCorpus();
    QVERIFY2(corpus_.size() > 60, "the corpus lacks the third-party fixtures");
    for (const CorpusFile &file : corpus_)
        paths_ << tree_.file(file.name, file.bytes);
}

void ContentEquivalenceTest::cleanupTestCase()
{
    setContentChunkingForTesting(ContentChunking());
}

void ContentEquivalenceTest::compareAll(bool deep)
{
    int compared = 0;
    QStringList failures;
    const QStringList texts = corpusSearchTexts();
    for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (int t = 0; t < texts.size(); ++t) {
            const TSearchOptions options = optionsFor(texts[t], cs, deep);
            for (int f = 0; f < corpus_.size(); ++f) {
                const CorpusFile &file = corpus_[f];
                if (file.large && deep && t % 5 != 0)
                    continue;   // decoding them with every codec for every text takes long
                const QList<TFileInfo> expected = referenceGrep(options, paths_[f], file.name);
                for (const ContentChunking &chunking : chunkings()) {
                    if (file.large && chunking.chunkBytes < 64)
                        continue;
                    setContentChunkingForTesting(chunking);
                    QList<TFileInfo> got;
                    grepFile(&options, paths_[f], got, file.name);
                    ++compared;
                    if (got != expected && failures.size() < 6) {
                        failures << QStringLiteral("%1, text \"%2\" (%3), chunks %4/%5:\nexpected\n%6\ngot\n%7")
                                        .arg(file.name, texts[t].toHtmlEscaped(),
                                             cs == Qt::CaseSensitive ? QStringLiteral("case-sensitive")
                                                                     : QStringLiteral("ignoring case"))
                                        .arg(chunking.chunkBytes)
                                        .arg(chunking.blockBytes)
                                        .arg(describe(expected), describe(got));
                    }
                }
            }
        }
    }
    setContentChunkingForTesting(ContentChunking());
    qInfo("%d searches compared", compared);
    if (!failures.isEmpty())
        QFAIL(qPrintable(failures.join(QLatin1String("\n\n"))));
}

void ContentEquivalenceTest::plainSearchGivesTheReferenceHits()
{
    compareAll(false);
}

void ContentEquivalenceTest::deepSearchGivesTheReferenceHits()
{
    compareAll(true);
}

void ContentEquivalenceTest::archiveStyleNamesAndMissingFilesToo()
{
    const TSearchOptions options = optionsFor(QStringLiteral("mutex"), Qt::CaseSensitive, true);
    for (const QString &path : {tree_.root(), tree_.path(QStringLiteral("missing")), paths_.first()}) {
        QList<TFileInfo> got;
        grepFile(&options, path, got, QStringLiteral("a.zip\\dir\\entry.txt"));
        QCOMPARE(got, referenceGrep(options, path, QStringLiteral("a.zip\\dir\\entry.txt")));
    }
}

QTEST_GUILESS_MAIN(ContentEquivalenceTest)
#include "test_contentequivalence.moc"
