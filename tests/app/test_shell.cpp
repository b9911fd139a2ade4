// What the shell gives the window: the start-up texts, the state folder, the hand-off file that
// brings the window back, and the tray icon.
#include "archive/extractionplace.h"
#include "qttranslations.h"
#include "shownowfile.h"
#include "startuptexts.h"
#include "statefolder.h"
#include "trayicon.h"
#include "walk/searchthread.h"
#include "windowsetup.h"

#include "../ui/windowaccess.h"
#include "eventloop.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLibraryInfo>
#include <QMenu>
#include <QPointer>
#include <QSaveFile>

#include <memory>

namespace {

void triggerTrayEntry(QObject *window, const QString &text)
{
    for (QAction *a : windowChild<trayicon>(window)->contextMenu()->actions())
        if (a->text() == text)
            return a->trigger();
    qFatal("no tray entry %s", qPrintable(text));
}

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void initialDirText_data()
    {
        QTest::addColumn<QStringList>("arguments");   // after the program's name, relative to the tree
        QTest::addColumn<QString>("expected");        // relative to the tree; "<drives>" for the drive text
        QTest::newRow("no argument") << QStringList{} << "<drives>";
        QTest::newRow("a directory, then more") << QStringList{"<abs>文档 with blank", "note.txt"} << "文档 with blank";
        QTest::newRow("kept as written") << QStringList{"<abs>文档 with blank/"} << "文档 with blank/";
        QTest::newRow("relative to the start") << QStringList{"sub/../文档 with blank"} << "文档 with blank";
        QTest::newRow("a file") << QStringList{"note.txt"} << "<drives>";
        QTest::newRow("missing") << QStringList{"missing"} << "<drives>";
        QTest::newRow("empty") << QStringList{""} << "<drives>";
    }

    void initialDirText()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        TempTree tree;
        tree.dir(QStringLiteral("文档 with blank"));
        tree.dir(QStringLiteral("sub"));
        tree.file(QStringLiteral("note.txt"), "x");
        for (QString &argument : arguments)
            argument.replace(QLatin1String("<abs>"), tree.root() + QLatin1Char('/'));
        const QString drives = driveListText();
        QCOMPARE(::initialDirText(QStringList{QStringLiteral("quorvel")} + arguments, tree.root(), drives),
                 expected == QLatin1String("<drives>") ? drives : tree.path(expected));
    }

    void showNowStampIsRewritten()
    {
        TempTree tree;
        const QString path = tree.file(QStringLiteral("shownow.cmd"), QByteArray(100, 'x'));
        QVERIFY(writeShowNowFileAt(path, QDateTime(QDate(2026, 12, 5), QTime(21, 43, 10, 6))));
        QCOMPARE(readFile(path), QByteArray("05.12.2026 21:43:10.006"));
        QCOMPARE(showNowFolder(path), QString());
        // A folder to search goes on a second line, after the unchanged stamp.
        const QString folder = tree.dir(QStringLiteral("文档 b"));
        QVERIFY(writeShowNowFileAt(path, QDateTime(QDate(2026, 12, 5), QTime(21, 43, 10, 6)), folder));
        QCOMPARE(readFile(path).left(24), QByteArray("05.12.2026 21:43:10.006\n"));
        QCOMPARE(showNowFolder(path), folder);
        QVERIFY(writeShowNowFileAt(path, QDateTime::currentDateTime(), tree.path(QStringLiteral("gone"))));
        QCOMPARE(showNowFolder(path), QString());
        QVERIFY(!writeShowNowFileAt(tree.dir(QStringLiteral("blocked")), QDateTime::currentDateTime()));
    }

    void stateFolderFallsBackToThePerUserFolder()
    {
        TempTree home;
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path(QStringLiteral("data"))));
        const QString perUser = home.path(QStringLiteral("data/quorvel"));
        QCOMPARE(perUser + QStringLiteral("/tmp"), ExtractionPlace::perUserFolder());   // one per-user folder
        QCOMPARE(stateFolderFor(home.root()), QDir::cleanPath(home.root()));   // writable: the program's own
        // Installed programs never write beside themselves, whoever runs them.
        for (const char *installed : {"/usr/bin", "/usr/local/bin", "/bin", "/opt", "/snap"})
            QCOMPARE(stateFolderFor(QLatin1String(installed)), perUser);
        QCOMPARE(stateFolderFor(home.path(QStringLiteral("no/such/dir"))), perUser);
        QCOMPARE(stateFolderFor(home.file(QStringLiteral("plainfile"))), perUser);
        const QString locked = home.dir(QStringLiteral("installed/bin"));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const bool lockHolds = !QFileInfo(locked).isWritable();   // not for the superuser
        const QString chosen = stateFolderFor(locked);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        saved.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", saved);
        if (lockHolds)
            QCOMPARE(chosen, perUser);
    }

    void handOffShowsTheWindow_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("rewritten") << 0;
        QTest::newRow("replaced by a rename") << 1;   // as editors and other tools write
        QTest::newRow("removed and made anew") << 2;
        QTest::newRow("with a folder, minimised") << 3;
    }

    void handOffShowsTheWindow()
    {
        QFETCH(int, way);
        writeShowNowFile();
        MainWindow window(programWindowEnvironment());
        const QString path = showNowFilePath();
        if (way == 1) {
            QSaveFile replacement(path);
            QVERIFY(replacement.open(QIODevice::WriteOnly));
            replacement.write("replaced");
            QVERIFY(replacement.commit());
        } else if (way == 2) {
            QVERIFY(QFile::remove(path));
            QTest::qWait(200);
        }
        TempTree asked;
        if (way == 3) {
            window.setInitialDir(QStringLiteral("/"));
            window.showMinimized();
        }
        QTest::qWait(300);   // some file systems keep time stamps to the second
        writeShowNowFile(way == 3 ? asked.root() : QString());
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible() && !window.isMinimized(), 10000);
        auto *dirs = window.findChild<QComboBox *>(QStringLiteral("comboBox_Dir"));
        // Taken as a first start with the folder would take it.
        QCOMPARE(dirs->currentText(), way == 3 ? asked.root() : QString());
        if (way == 3)
            QCOMPARE(dirs->itemText(dirs->count() - 2), driveListText());
    }

    // A single click toggles (StatusNotifierItem trays report no other); the double click whose
    // first click it was does not toggle back; hidden from the tray while the event loop runs
    // (where the last window's closing would end it), the program goes on.
    void trayTogglesAndOpensTheWindow()
    {
        MainWindow window(programWindowEnvironment());
        trayicon *tray = windowChild<trayicon>(&window);
        emit tray->activated(QSystemTrayIcon::Trigger);
        emit tray->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QCOMPARE(runEventLoop(300, [&] { emit tray->activated(QSystemTrayIcon::DoubleClick); }), 99);
        QVERIFY(window.isHidden());
        window.showMinimized();
        triggerTrayEntry(&window, QStringLiteral("打开"));
        QVERIFY(window.isVisible() && !window.isMinimized());
    }

    // "退出" ends the program at once, without the question about a running search; the window
    // then stops the worker and waits for it before its children go.
    void trayQuitDuringASearchStopsTheWorkerFirst()
    {
        auto window = std::make_unique<MainWindow>(programWindowEnvironment());
        window->show();
        auto *worker = window->findChild<searchThread *>();
        bool workerRanWhileChildrenWent = false;
        QObject::connect(window->findChild<QTableView *>(), &QObject::destroyed,
                         [&] { workerRanWhileChildrenWent = worker->isRunning(); });
        QPointer<searchThread> watched(worker);
        const QList<QDir> roots(50, QDir(QStringLiteral("/usr")));   // a long walk
        worker->setSearchParam(roots, {QStringLiteral("*")}, QString(), Qt::CaseSensitive, true, false, false);
        worker->start();
        QTest::qWait(30);
        if (!worker->isRunning())
            QSKIP("the search ended before the quit");
        QVERIFY(runEventLoop(10000, [&] { triggerTrayEntry(window.get(), QStringLiteral("退出")); }) != 99);
        window.reset();
        QVERIFY(watched.isNull());
        QVERIFY(!workerRanWhileChildrenWent);
    }

    void qtDialogsSpeakChinese()
    {
        if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_zh_CN.qm")))
            QSKIP("Qt's translations are not installed (qt6-translations-l10n)");
        QVERIFY(installQtTranslations(*qApp, QLocale::c()));   // no translation for it: Chinese
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"
