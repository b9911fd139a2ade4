#include "walk/wildcard.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

// The name matcher against a plain reference: the regular expression Qt builds from the same
// wildcard pattern.
class WildcardTest : public QObject
{
    Q_OBJECT

private slots:
    void equalsRegularExpressionReference();
    void edgeCases_data();
    void edgeCases();
    void invalidPatternsAreRefused_data();
    void invalidPatternsAreRefused();
    void manyStarsStayCheap();
};

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

void WildcardTest::equalsRegularExpressionReference()
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
    }
}

void WildcardTest::edgeCases_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("negated with !") << QStringLiteral("[!x]*") << QStringLiteral("ab") << true;
    QTest::newRow("negated with ! refuses") << QStringLiteral("[!x]*") << QStringLiteral("xb") << false;
    QTest::newRow("negated with ^") << QStringLiteral("[^x]") << QStringLiteral("X") << false;
    QTest::newRow("backslash is literal") << QStringLiteral("a\\b") << QStringLiteral("a\\b") << true;
    QTest::newRow("backslash escapes nothing") << QStringLiteral("a\\*") << QStringLiteral("a\\zz") << true;
    QTest::newRow("bracket first in set") << QStringLiteral("[]]x") << QStringLiteral("]x") << true;
    QTest::newRow("range ignores case") << QStringLiteral("[A-C]?") << QStringLiteral("bz") << true;
    QTest::newRow("dash at the end") << QStringLiteral("[a-]") << QStringLiteral("-") << true;
    QTest::newRow("whole name") << QStringLiteral("abc") << QStringLiteral("abcd") << false;
    QTest::newRow("empty name") << QStringLiteral("*") << QStringLiteral("") << true;
    QTest::newRow("question needs one") << QStringLiteral("?") << QStringLiteral("") << false;
    QTest::newRow("one character beyond 16 bits") << QStringLiteral("a?b") << QStringLiteral("a\U0001F600b") << true;
    QTest::newRow("kelvin sign folds") << QStringLiteral("*K*") << QStringLiteral("k") << true;
}

void WildcardTest::edgeCases()
{
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    WildcardPattern matcher;
    QVERIFY(WildcardPattern::parse(pattern, matcher));
    QCOMPARE(matcher.matches(name), matches);
    QCOMPARE(NameMatcher({QStringLiteral("nothing"), pattern}).matchesBytes(name.toStdString()), matches);
}

void WildcardTest::invalidPatternsAreRefused_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::newRow("unclosed") << QStringLiteral("[abc");
    QTest::newRow("lone bracket") << QStringLiteral("*[");
    QTest::newRow("bracket only member") << QStringLiteral("[]");
    QTest::newRow("negated nothing") << QStringLiteral("[!]");
    QTest::newRow("reversed range") << QStringLiteral("[z-a]");
}

void WildcardTest::invalidPatternsAreRefused()
{
    QFETCH(QString, pattern);
    WildcardPattern matcher;
    QString why;
    QVERIFY(!WildcardPattern::parse(pattern, matcher, &why));
    QVERIFY(!why.isEmpty());
    // A matcher built from it anyway matches nothing.
    QVERIFY(!NameMatcher({pattern}).matches(pattern));
}

void WildcardTest::manyStarsStayCheap()
{
    // 3,000 stars once took seconds and hundreds of megabytes to build.
    const QString pattern = QString(3000, QLatin1Char('*')) + QStringLiteral("a*b");
    WildcardPattern matcher;
    QVERIFY(WildcardPattern::parse(pattern, matcher));
    QVERIFY(!matcher.matches(QString(3000, QLatin1Char('a'))));
    QVERIFY(matcher.matches(QString(3000, QLatin1Char('a')) + QLatin1Char('b')));
}

QTEST_GUILESS_MAIN(WildcardTest)
#include "test_wildcard.moc"
