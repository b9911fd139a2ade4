// From the form's texts to the worker's request: what is searched, and which forms are refused
// with which warning.

#include "walk/searchrequest.h"
#include "temptree.h"

class SearchRequestTest : public QObject
{
    Q_OBJECT

private slots:
    void formsBecomeRequests_data()
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

    void formsBecomeRequests()
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
};

QTEST_GUILESS_MAIN(SearchRequestTest)
#include "test_searchrequest.moc"
