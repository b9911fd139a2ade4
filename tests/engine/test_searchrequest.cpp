// From the form's texts to the worker's request: what is searched, and which forms are refused
// with which warning.

#include "walk/searchrequest.h"
#include "walk/searchthread.h"
#include "temptree.h"

#include <QTest>
#include <QTextCodec>

class SearchRequestTest : public QObject
{
    Q_OBJECT

private slots:
    void formsBecomeRequests_data();
    void formsBecomeRequests();
    void filtersContainOrMatchWhole();
    void deepSearchPreparesOneTextPerCodec();
};

void SearchRequestTest::formsBecomeRequests_data()
{
    QTest::addColumn<QString>("dirs");   // "@" is a scratch folder holding folder "a" and file "plain.txt"
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");   // refused: the kind and the warning; else roots ("%" the
                                                 // working folder), "names:" patterns, "text:" the text
    const auto row = [](const char *name, const QString &dirs, const QString &names, const QString &text,
                        const QStringList &expected) { QTest::newRow(name) << dirs << names << text << expected; };
    row("names split, trimmed, empty ones dropped", "@/a", " *.doc;;*.txt ", "", {"@/a", "names:*.doc|*.txt", "text:"});
    row("text without names searches everything", "@/a", " ;; ", "foo", {"@/a", "names:*", "text:foo"});
    row("text handed over untrimmed", "@/a", "", " foo ", {"@/a", "names:*", "text: foo "});
    row("blanks alone are no text", "@/a", "a", "  ", {"@/a", "names:a", "text:"});
    row("an empty root part is the working folder", "  @/a;  ", "x", "", {"@/a", "%", "names:x", "text:"});
    row("nothing to search", "@/a", ";", "   ", {"1", "搜索文件请填写：文件名"});
    row("a blank after ';' belongs to the part", "@/a; @/a", "x", "", {"2", "目录名: @/a 不存在"});
    row("missing second root", "@/a;@/missing", "*", "", {"2", "目录名:@/missing 不存在"});
    row("a file is no folder", "@/plain.txt", "*", "", {"3", "@/plain.txt 不是文件夹"});
    row("unclosed bracket", "@/a", "ok;a[b", "", {"4", "文件名:a[b 不是有效的通配符：“[”没有配对的“]”"});
    row("reversed range", "@/a", "[z-a]", "", {"4", "文件名:[z-a] 不是有效的通配符：范围“z-a”两端颠倒"});
}

void SearchRequestTest::formsBecomeRequests()
{
    QFETCH(QString, dirs);
    QFETCH(QString, names);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    TempTree tree;
    tree.dir(QStringLiteral("a"));
    tree.file(QStringLiteral("plain.txt"));
    expected.replaceInStrings(QStringLiteral("@"), tree.root()).replaceInStrings(QStringLiteral("%"), QDir::currentPath());
    SearchForm form;
    form.dirText = dirs.replace(QLatin1Char('@'), tree.root());
    form.nameText = names;
    form.grepText = text;
    SearchRequest request;
    SearchFormError error;
    const bool accepted = assembleSearchRequest(form, request, error);
    QStringList got;
    if (accepted) {
        for (const QDir &root : request.roots)
            got << root.absolutePath();
        got << QStringLiteral("names:") + request.namePatterns.join(QLatin1Char('|'))
            << QStringLiteral("text:") + request.grepText;
    } else {
        got << QString::number(error.kind) << error.text().section(QLatin1Char('\n'), 0, 0);
        QVERIFY(request.roots.isEmpty());
    }
    QCOMPARE(accepted, error.kind == SearchFormError::None);
    QCOMPARE(got, expected);
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
    worker.setSearchParam({}, {"*"}, QStringLiteral("中文"), Qt::CaseInsensitive, true, false, true);
    const TCodecTexts &texts = worker.searchOptions().codecTexts;
    const QList<int> mibs = QTextCodec::availableMibs();
    QCOMPARE(texts.size(), mibs.size());
    for (int i = 0; i < mibs.size(); ++i) {
        QCOMPARE(texts.at(i).first, QTextCodec::codecForMib(mibs.at(i)));
        // UTF-8 keeps the text; Latin-1 cannot hold it and reads its bytes back as other characters.
        if (mibs.at(i) == 106 || mibs.at(i) == 4)
            QCOMPARE(texts.at(i).second, mibs.at(i) == 106 ? QStringLiteral("中文") : QStringLiteral("??"));
    }
}

QTEST_GUILESS_MAIN(SearchRequestTest)
#include "test_searchrequest.moc"
