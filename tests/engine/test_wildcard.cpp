#include "walk/searchrequest.h"
#include "walk/wildcard.h"
#include "temptree.h"

#include <QRandomGenerator>
#include <QRegularExpression>

// From the form's texts to the worker's request: what is searched, and which forms are refused
// with which warning; and the name matcher against a plain reference: the regular expression Qt
// builds from the same wildcard pattern.

namespace {

#ifdef QUORVEL_SANITIZED
const int rounds = 20000;
#else
const int rounds = 300000;
#endif

QString randomText(QRandomGenerator &random, const QString &alphabet, int maxLength)
{
    QString text;
    for (int i = int(random.bounded(maxLength + 1)); i > 0; --i)
        text += alphabet.at(int(random.bounded(int(alphabet.size()))));
    return text;
}

bool reference(const QString &pattern, const QString &name)
{
    return QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive).match(name).hasMatch();
}

} // namespace

class WildcardTest : public QObject
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

    void equalsRegularExpressionReference()
    {
        // Letters in both cases, a Kelvin sign (folds to 'k'), a long s (folds to 's'), CJK, and
        // every character the syntax gives a meaning to (no '.' or ':', which would make "[." and
        // "[:" classes of the regular expression).
        const QString nameAlphabet = QStringLiteral("aAbBkKsS-\\!^[]\u212A\u017F中");
        const QString literalAlphabet = nameAlphabet + QStringLiteral("*?");
        const QString setAlphabet = QStringLiteral("abAkK\u212A!^-]\\中");
        QRandomGenerator random(20240611);
        for (int round = 0; round < rounds; ++round) {
            QString pattern;
            for (int part = int(random.bounded(4)); part >= 0; --part) {
                pattern += randomText(random, literalAlphabet, 3);
                if (random.bounded(3) == 0)
                    pattern += QLatin1Char('[') + randomText(random, setAlphabet, 4) + QLatin1Char(']');
            }
            // Qt's conversion ends a "[^" set at the next ']' where a shell takes it as a member.
            if (pattern.contains(QLatin1String("[^]")))
                continue;
            WildcardPattern matcher;
            if (!WildcardPattern::parse(pattern, matcher)) {
                // Refused only where the reference is no valid expression either.
                QVERIFY2(!QRegularExpression::fromWildcard(pattern).isValid(), qPrintable(pattern));
                continue;
            }
            const QString name = randomText(random, nameAlphabet, 8);
            QVERIFY2(matcher.matches(name) == reference(pattern, name),
                     qPrintable(pattern + QLatin1String(" / ") + name));
            QVERIFY2(matcher.matchesBytes(name.toStdString()) == matcher.matches(name), qPrintable(name));
            // The commonest shape, letters with stars around, has a bytewise path of its own.
            const QString star = QStringLiteral("*");
            const QString shaped = (random.bounded(2) ? star : QString()) + randomText(random, QStringLiteral("abKs.\u212A"), 3)
                                   + (random.bounded(2) ? star : QString());
            const QString asciiName = randomText(random, QStringLiteral("aAbBkKsS."), 8);
            QVERIFY(WildcardPattern::parse(shaped, matcher));
            QVERIFY2(matcher.matchesBytes(asciiName.toStdString()) == reference(shaped, asciiName),
                     qPrintable(shaped + QLatin1String(" / ") + asciiName));
        }
    }

    void edgeCases_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("matches");   // -1: the pattern is refused
        // Named cases: the generated comparison reaches most of them only by chance.
        const auto row = [](const char *why, const char *pattern, const QString &name, int matches) {
            QTest::newRow(why) << QString::fromUtf8(pattern) << name << matches;
        };
        row("negated with !", "[!x]*", "ab", 1);
        row("negated with ^", "[^x]", "X", 0);
        row("backslash is literal", "a\\b", "a\\b", 1);
        row("bracket first in set", "[]]x", "]x", 1);
        row("range ignores case", "[A-C]?", "bz", 1);
        row("empty name", "*", "", 1);
        row("one character beyond 16 bits", "a?b", QStringLiteral("a\U0001F600b"), 1);
        row("kelvin sign folds", "*K*", "k", 1);
        row("unclosed", "[abc", "[abc", -1);
        row("lone bracket", "*[", "*[", -1);
        row("bracket only member", "[]", "[]", -1);
        row("negated nothing", "[!]", "[!]", -1);
        row("reversed range", "[z-a]", "[z-a]", -1);
    }

    void edgeCases()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(int, matches);
        WildcardPattern matcher;
        QString why;
        QCOMPARE(WildcardPattern::parse(pattern, matcher, &why), matches >= 0);
        QCOMPARE(why.isEmpty(), matches >= 0);
        // Within a list of patterns, bytes on disk; a refused pattern matches nothing, not even itself.
        QCOMPARE(NameMatcher({QStringLiteral("nothing"), pattern}).matchesBytes(name.toStdString()), matches == 1);
        if (matches >= 0)
            QCOMPARE(matcher.matches(name), matches == 1);
    }

    void manyStarsStayCheap()
    {
        // 3,000 stars once took seconds and hundreds of megabytes to build.
        const QString pattern = QString(3000, QLatin1Char('*')) + QStringLiteral("a*b");
        WildcardPattern matcher;
        QVERIFY(WildcardPattern::parse(pattern, matcher));
        QVERIFY(!matcher.matches(QString(3000, QLatin1Char('a'))));
        QVERIFY(matcher.matches(QString(3000, QLatin1Char('a')) + QLatin1Char('b')));
    }
};

QTEST_GUILESS_MAIN(WildcardTest)
#include "test_wildcard.moc"
