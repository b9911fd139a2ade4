#include "walk/searchrequest.h"
#include "walk/searchthread.h"
#include "temptree.h"

#include <QTest>
#include <QTextCodec>

class SearchRequestTest : public QObject
{
    Q_OBJECT

private slots:
    void namePatternsAreSplitTrimmedAndDropped();
    void contentTextWithoutPatternSearchesEverything();
    void nothingToSearchWarns();
    void rootsKeepEmptyPartsAndUntrimmedBlanks();
    void refusedForms_data();
    void refusedForms();
    void contentTextIsHandedOverUntrimmed();
    void filtersContainOrMatchWhole();
    void deepSearchPreparesOneTextPerCodec();
};

namespace {
SearchForm formWith(const QString &dirs, const QString &names, const QString &text = QString())
{
    SearchForm form;
    form.dirText = dirs;
    form.nameText = names;
    form.grepText = text;
    return form;
}
} // namespace

void SearchRequestTest::namePatternsAreSplitTrimmedAndDropped()
{
    QCOMPARE(splitNamePatterns(QStringLiteral(" *.doc;;*.txt ")), (QStringList{"*.doc", "*.txt"}));
    QCOMPARE(splitNamePatterns(QStringLiteral(" *.ppt;*.pptx")), (QStringList{"*.ppt", "*.pptx"}));
    QCOMPARE(splitNamePatterns(QStringLiteral(" ; ;")), QStringList());
    QCOMPARE(splitNamePatterns(QString()), QStringList());
}

void SearchRequestTest::contentTextWithoutPatternSearchesEverything()
{
    SearchRequest request;
    SearchFormError error;
    QVERIFY(assembleSearchRequest(formWith(QDir::tempPath(), QStringLiteral(" ;; "), QStringLiteral("foo")),
                                  request, error));
    QCOMPARE(request.namePatterns, QStringList{"*"});
    QCOMPARE(error.kind, SearchFormError::None);
}

void SearchRequestTest::nothingToSearchWarns()
{
    SearchRequest request;
    SearchFormError error;
    QVERIFY(!assembleSearchRequest(formWith(QDir::tempPath(), QStringLiteral(";"), QStringLiteral("   ")),
                                   request, error));
    QCOMPARE(error.kind, SearchFormError::NothingToSearch);
}

void SearchRequestTest::rootsKeepEmptyPartsAndUntrimmedBlanks()
{
    QCOMPARE(splitRootTexts(QStringLiteral("  /a;/b;  ")), (QStringList{"/a", "/b", ""}));
    QCOMPARE(splitRootTexts(QStringLiteral("/a; /b")), (QStringList{"/a", " /b"}));

    TempTree tree;
    const QString a = tree.dir(QStringLiteral("a"));
    SearchRequest request;
    SearchFormError error;
    QVERIFY(assembleSearchRequest(formWith(a + QLatin1Char(';'), QStringLiteral("x")), request, error));
    QCOMPARE(request.roots.size(), 2);
    QCOMPARE(request.roots.at(0).absolutePath(), a);
    // An empty part is the working directory.
    QCOMPARE(request.roots.at(1).absolutePath(), QDir::currentPath());

    // A blank after the separator belongs to the part, which then names nothing.
    QVERIFY(!assembleSearchRequest(formWith(a + QStringLiteral("; ") + a, QStringLiteral("x")), request, error));
    QCOMPARE(error.kind, SearchFormError::MissingDirectory);
    QCOMPARE(error.part, QLatin1Char(' ') + a);
}

void SearchRequestTest::refusedForms_data()
{
    TempTree *tree = new TempTree;   // lives as long as the test
    QTest::addColumn<QString>("dirs");
    QTest::addColumn<QString>("names");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    const QString first = tree->dir(QStringLiteral("first"));
    const QString missing = tree->path(QStringLiteral("missing"));
    const QString file = tree->file(QStringLiteral("plain.txt"));
    QTest::newRow("missing second root") << first + ';' + missing << QStringLiteral("*") << int(SearchFormError::MissingDirectory)
                                         << QStringLiteral("目录名:%1 不存在").arg(missing);
    QTest::newRow("a file is no folder") << file << QStringLiteral("*") << int(SearchFormError::NotADirectory)
                                         << QStringLiteral("%1 不是文件夹").arg(file);
    QTest::newRow("unclosed bracket") << first << QStringLiteral("ok;a[b") << int(SearchFormError::InvalidPattern)
                                      << QStringLiteral("文件名:a[b 不是有效的通配符：“[”没有配对的“]”");
    QTest::newRow("reversed range") << first << QStringLiteral("[z-a]") << int(SearchFormError::InvalidPattern)
                                    << QStringLiteral("文件名:[z-a] 不是有效的通配符：范围“z-a”两端颠倒");
}

void SearchRequestTest::refusedForms()
{
    QFETCH(QString, dirs);
    QFETCH(QString, names);
    QFETCH(int, kind);
    QFETCH(QString, text);
    SearchRequest request;
    SearchFormError error;
    QVERIFY(!assembleSearchRequest(formWith(dirs, names), request, error));
    QCOMPARE(int(error.kind), kind);
    QCOMPARE(error.text(), text);
    QCOMPARE(error.title(), QStringLiteral("提示"));
    QVERIFY(request.roots.isEmpty());
}

void SearchRequestTest::contentTextIsHandedOverUntrimmed()
{
    SearchRequest request;
    SearchFormError error;
    QVERIFY(assembleSearchRequest(formWith(QDir::tempPath(), QString(), QStringLiteral(" foo ")), request, error));
    QCOMPARE(request.grepText, QStringLiteral(" foo "));
    // Blanks alone make a search on names, not a search for blanks.
    QVERIFY(assembleSearchRequest(formWith(QDir::tempPath(), QStringLiteral("a"), QStringLiteral("  ")), request,
                                  error));
    QCOMPARE(request.grepText, QString());
}

void SearchRequestTest::filtersContainOrMatchWhole()
{
    searchThread worker;
    const QStringList patterns{"*.doc", "readme"};
    worker.setSearchParam({}, patterns, QString(), Qt::CaseSensitive, true, false, false);
    QCOMPARE(worker.searchNameFilters(), (QStringList{"**.doc*", "*readme*"}));
    QVERIFY(worker.searchOptions().nameMatcher.matches(QStringLiteral("my-README.txt")));

    worker.setSearchParam({}, patterns, QString(), Qt::CaseSensitive, true, true, false);
    QCOMPARE(worker.searchNameFilters(), patterns);
    QVERIFY(worker.searchOptions().nameMatcher.matches(QStringLiteral("ReadMe")));
    QVERIFY(!worker.searchOptions().nameMatcher.matches(QStringLiteral("readme.txt")));
}

void SearchRequestTest::deepSearchPreparesOneTextPerCodec()
{
    searchThread worker;
    worker.setSearchParam({}, {"*"}, QStringLiteral("中文"), Qt::CaseSensitive, true, false, false);
    QVERIFY(worker.searchOptions().codecTexts.isEmpty());
    QVERIFY(!worker.searchOptions().deepSearch);

    worker.setSearchParam({}, {"*"}, QStringLiteral("中文"), Qt::CaseInsensitive, true, false, true);
    const TCodecTexts &texts = worker.searchOptions().codecTexts;
    const QList<int> mibs = QTextCodec::availableMibs();
    QCOMPARE(texts.size(), mibs.size());
    for (int i = 0; i < mibs.size(); ++i)
        QCOMPARE(texts.at(i).first, QTextCodec::codecForMib(mibs.at(i)));
    QVERIFY(worker.searchOptions().deepSearch);
    QCOMPARE(worker.searchOptions().caseSensitivity, Qt::CaseInsensitive);

    // UTF-8 keeps the text; Latin-1 cannot hold it and reads its bytes back as other characters.
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec *latin1 = QTextCodec::codecForName("ISO-8859-1");
    for (const auto &pair : texts) {
        if (pair.first == utf8)
            QCOMPARE(pair.second, QStringLiteral("中文"));
        if (pair.first == latin1)
            QCOMPARE(pair.second, QStringLiteral("??"));
    }

    // An empty text is prepared too.
    worker.setSearchParam({}, {"*"}, QString(), Qt::CaseSensitive, true, false, true);
    QCOMPARE(worker.searchOptions().codecTexts.size(), mibs.size());
}

QTEST_GUILESS_MAIN(SearchRequestTest)
#include "test_searchrequest.moc"
