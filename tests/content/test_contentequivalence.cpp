// The fast content search against the straightforward one, on the whole corpus, in both modes
// and case rules, with chunk and block sizes that put boundaries everywhere. One search object
// serves all files of a text, as in a real search.

#include "content/contentsearch.h"
#include "contentcorpus.h"
#include "referencegrep.h"
#include "temptree.h"

#include <deque>

namespace {

QString describe(const QList<TFileInfo> &hits)
{
    QStringList lines;
    for (const TFileInfo &h : hits)
        lines << QStringLiteral("  %1:%2:%3").arg(h.fileName).arg(h.lineNo).arg(h.lineText.toHtmlEscaped());
    return lines.isEmpty() ? QStringLiteral("  (none)") : lines.join(QLatin1Char('\n'));
}

#ifdef QUORVEL_SAMPLE_CORPUS
constexpr int kTextStep = 11;   // sanitizer builds: three texts (ASCII, beyond 16 bits, long CJK), two chunkings
const QList<ContentChunking> kChunkings{ContentChunking{8, 3, 1}, ContentChunking{4096, 1000, 333}};
#else
constexpr int kTextStep = 1;
const QList<ContentChunking> kChunkings{ContentChunking(), ContentChunking{8, 3, 1}, ContentChunking{60, 17, 7},
                                        ContentChunking{4096, 1000, 333}};
#endif

} // namespace

class ContentEquivalenceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(tree_.isValid());
        corpus_ = contentCorpus();
        for (const CorpusFile &file : corpus_)
            paths_ << tree_.file(file.name, file.bytes);
    }

    void searchGivesTheReferenceHits_data()
    {
        QTest::addColumn<bool>("deep");
        QTest::addColumn<Qt::CaseSensitivity>("cs");
        for (const bool deep : {false, true}) {
            QTest::addRow("%s, case-sensitive", deep ? "deep" : "plain") << deep << Qt::CaseSensitive;
            QTest::addRow("%s, ignoring case", deep ? "deep" : "plain") << deep << Qt::CaseInsensitive;
        }
    }

    void searchGivesTheReferenceHits()
    {
        QFETCH(bool, deep);
        QFETCH(Qt::CaseSensitivity, cs);
        int compared = 0;
        QStringList failures;
        const QStringList texts = corpusSearchTexts();
        for (int t = 0; t < texts.size(); t += kTextStep) {
            const TSearchOptions options = optionsFor(texts[t], cs, deep);
            std::deque<ContentSearch> searches;   // one per chunking; they cannot move
            for (const ContentChunking &chunking : kChunkings)
                searches.emplace_back(options, chunking);
            for (int f = 0; f < corpus_.size(); ++f) {
                const CorpusFile &file = corpus_[f];
                if (file.large && deep && t % 5 != 0)
                    continue;   // decoding them with every codec for every text takes long
                const QList<TFileInfo> expected = referenceGrep(options, paths_[f], file.name);
                for (int c = 0; c < kChunkings.size(); ++c) {
                    if (file.large && kChunkings[c].chunkBytes < 64)
                        continue;
                    QList<TFileInfo> got;
                    searches[size_t(c)].search(paths_[f], got, file.name);
                    ++compared;
                    if (got != expected && failures.size() < 6)
                        failures << QStringLiteral("%1, text \"%2\", chunks %3/%4:\nexpected\n%5\ngot\n%6")
                                        .arg(file.name, texts[t].toHtmlEscaped())
                                        .arg(kChunkings[c].chunkBytes)
                                        .arg(kChunkings[c].blockBytes)
                                        .arg(describe(expected), describe(got));
                }
            }
        }
        qInfo("%d searches compared", compared);
        if (!failures.isEmpty())
            QFAIL(qPrintable(failures.join(QLatin1String("\n\n"))));
    }

    void archiveStyleNamesAndMissingFilesToo()
    {
        const TSearchOptions options = optionsFor(QStringLiteral("mutex"), Qt::CaseSensitive, true);
        ContentSearch search(options);
        for (const QString &path : {tree_.root(), tree_.path(QStringLiteral("missing")), paths_.first()}) {
            QList<TFileInfo> got;
            search.search(path, got, QStringLiteral("a.zip\\dir\\entry.txt"));
            QCOMPARE(got, referenceGrep(options, path, QStringLiteral("a.zip\\dir\\entry.txt")));
        }
    }

private:
    TempTree tree_;
    QList<CorpusFile> corpus_;
    QStringList paths_;
};

QTEST_GUILESS_MAIN(ContentEquivalenceTest)
#include "test_contentequivalence.moc"
