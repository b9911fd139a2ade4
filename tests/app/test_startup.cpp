#include "mainwindow.h"
#include "shownowfile.h"
#include "startuptexts.h"
#include "statefolder.h"

#include "temptree.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

QString expectedDriveText()
{
    QString text;
    for (const QFileInfo &d : QDir::drives())
        text += d.absoluteFilePath() + QLatin1Char(';');
    return text;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void driveTextListsEveryRootWithASemicolon();
    void initialDirText_data();
    void initialDirText();
    void relativeDirectoryArgumentMeansTheStartDirectory();
    void showNowFileHoldsATimeStamp();
    void showNowFileIsRewrittenNotAppended();
    void stateFolderIsTheProgramDirectoryWhenWritable();
    void stateFolderFallsBackToThePerUserFolder();
    void stateFolderFallsBackForAReadOnlyProgramDirectory();
    void handOffShowsAHiddenWindow();
    void handOffSurvivesAReplacedFile();
    void handOffSurvivesARemovedFile();
    void doShowNeitherRestoresNorRaises();
};

void TestStartup::driveTextListsEveryRootWithASemicolon()
{
    const QString text = driveListText();
    QCOMPARE(text, expectedDriveText());
    QVERIFY(text.endsWith(QLatin1Char(';')));
#ifndef Q_OS_WIN
    QCOMPARE(text, QStringLiteral("/;"));
#endif
}

void TestStartup::initialDirText_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");   // "<drives>" for the drive text

    static TempTree tree;
    const QString dir = tree.dir(QStringLiteral("文档 with blank"));
    const QString file = tree.file(QStringLiteral("note.txt"), "x");
    QTest::newRow("no argument") << QStringList{QStringLiteral("quorvel")} << QStringLiteral("<drives>");
    QTest::newRow("a directory") << QStringList{QStringLiteral("quorvel"), dir} << dir;
    QTest::newRow("a directory, then more") << QStringList{QStringLiteral("quorvel"), dir, file} << dir;
    QTest::newRow("a file") << QStringList{QStringLiteral("quorvel"), file} << QStringLiteral("<drives>");
    QTest::newRow("a missing path")
        << QStringList{QStringLiteral("quorvel"), tree.path(QStringLiteral("missing"))}
        << QStringLiteral("<drives>");
    QTest::newRow("empty argument") << QStringList{QStringLiteral("quorvel"), QString()}
                                    << QStringLiteral("<drives>");
    QTest::newRow("directory kept as written")
        << QStringList{QStringLiteral("quorvel"), dir + QStringLiteral("/")} << dir + QStringLiteral("/");
}

void TestStartup::initialDirText()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const QString drives = driveListText();
    if (expected == QLatin1String("<drives>"))
        expected = drives;
    QCOMPARE(::initialDirText(arguments, QDir::currentPath(), drives), expected);
}

void TestStartup::relativeDirectoryArgumentMeansTheStartDirectory()
{
    TempTree tree;
    tree.dir(QStringLiteral("sub/inner"));
    const QString drives = driveListText();
    QCOMPARE(::initialDirText({QStringLiteral("quorvel"), QStringLiteral("sub/inner")}, tree.root(), drives),
             tree.path(QStringLiteral("sub/inner")));
    QCOMPARE(::initialDirText({QStringLiteral("quorvel"), QStringLiteral(".")}, tree.root(), drives),
             tree.root());
    // Relative to the start directory, not to where the test happens to be.
    QCOMPARE(::initialDirText({QStringLiteral("quorvel"), QStringLiteral("sub/missing")}, tree.root(), drives),
             drives);
}

void TestStartup::showNowFileHoldsATimeStamp()
{
    const QString path = showNowFilePath();
    QCOMPARE(path, stateFolder() + QStringLiteral("/shownow.cmd"));
    QFile::remove(path);
    const QDateTime before = QDateTime::currentDateTime();
    writeShowNowFile();
    const QByteArray content = readAll(path);
    QCOMPARE(content.size(), 23);
    for (char c : content)
        QVERIFY(uchar(c) < 0x80);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$"))
                .match(QString::fromLatin1(content)).hasMatch());
    const QDateTime written = QDateTime::fromString(QString::fromLatin1(content),
                                                    QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"));
    QVERIFY(written.isValid());
    QVERIFY(qAbs(written.msecsTo(before)) < 60000);

    const QDateTime fixed(QDate(2026, 12, 5), QTime(21, 43, 10, 123));
    QCOMPARE(showNowStamp(fixed), QByteArray("05.12.2026 21:43:10.123"));
    QCOMPARE(showNowStamp(QDateTime(QDate(2012, 3, 3), QTime(9, 5, 0, 7))),
             QByteArray("03.03.2012 09:05:00.007"));
}

void TestStartup::showNowFileIsRewrittenNotAppended()
{
    TempTree tree;
    const QString path = tree.file(QStringLiteral("shownow.cmd"), QByteArray(100, 'x'));
    QVERIFY(writeShowNowFileAt(path, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6))));
    QCOMPARE(readAll(path), QByteArray("02.01.2026 03:04:05.006"));
    // A folder in the way: nothing written, nothing thrown.
    QVERIFY(!writeShowNowFileAt(tree.dir(QStringLiteral("blocked")), QDateTime::currentDateTime()));
}

void TestStartup::stateFolderIsTheProgramDirectoryWhenWritable()
{
    TempTree tree;
    QCOMPARE(stateFolderFor(tree.root()), QDir::cleanPath(tree.root()));
    QCOMPARE(stateFolder(), QDir::cleanPath(QCoreApplication::applicationDirPath()));
}

namespace {

// Points the per-user data folder into a temporary tree for the life of the object.
class DataHomeOverride
{
public:
    explicit DataHomeOverride(const QString &dataHome)
        : saved_(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
    }
    ~DataHomeOverride()
    {
        if (saved_.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", saved_);
    }

private:
    QByteArray saved_;
};

} // namespace

void TestStartup::stateFolderFallsBackToThePerUserFolder()
{
    TempTree home;
    DataHomeOverride dataHome(home.path(QStringLiteral("data")));
    const QString perUser = home.path(QStringLiteral("data/quorvel"));
    QCOMPARE(perUserStateFolder(), perUser);

    // A program directory that is gone, or is not a directory.
    QCOMPARE(stateFolderFor(home.path(QStringLiteral("no/such/dir"))), perUser);
    QVERIFY(QFileInfo(perUser).isDir());   // made on demand
    QCOMPARE(stateFolderFor(home.file(QStringLiteral("plainfile"))), perUser);
}

void TestStartup::stateFolderFallsBackForAReadOnlyProgramDirectory()
{
    TempTree home;
    DataHomeOverride dataHome(home.path(QStringLiteral("data")));
    const QString locked = home.dir(QStringLiteral("installed/bin"));
    const QFileDevice::Permissions rw = QFile::permissions(locked);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                      | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
    const bool writableAnyway = QFileInfo(locked).isWritable();
    const QString chosen = stateFolderFor(locked);
    QFile::setPermissions(locked, rw);
    if (writableAnyway)
        QSKIP("this user may write into read-only folders (root)");
    QCOMPARE(chosen, home.path(QStringLiteral("data/quorvel")));
}

void TestStartup::handOffShowsAHiddenWindow()
{
    writeShowNowFile();
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.hide();
    QVERIFY(window.isHidden());
    QTest::qWait(300);   // some file systems keep time stamps to the second
    writeShowNowFile();
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);
}

void TestStartup::handOffSurvivesAReplacedFile()
{
    writeShowNowFile();
    MainWindow window;
    const QString path = showNowFilePath();

    // An editor or another tool may write a new file and rename it over the old one.
    QSaveFile replacement(path);
    QVERIFY(replacement.open(QIODevice::WriteOnly));
    replacement.write("replaced");
    QVERIFY(replacement.commit());
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);

    // The next ordinary start must still be seen.
    window.hide();
    QTest::qWait(200);
    window.hide();
    writeShowNowFile();
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);
}

void TestStartup::handOffSurvivesARemovedFile()
{
    writeShowNowFile();
    MainWindow window;
    const QString path = showNowFilePath();
    QVERIFY(QFile::remove(path));
    QTest::qWait(200);
    window.hide();
    writeShowNowFile();   // made anew
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);
    window.hide();
    QTest::qWait(200);
    window.hide();
    writeShowNowFile();   // and rewritten
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);
}

void TestStartup::doShowNeitherRestoresNorRaises()
{
    writeShowNowFile();
    MainWindow window;
    window.showMinimized();
    QVERIFY(window.isMinimized());
    QTest::qWait(200);
    writeShowNowFile();
    QTest::qWait(500);
    QVERIFY(window.isMinimized());
    QVERIFY(window.isVisible());
}

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
