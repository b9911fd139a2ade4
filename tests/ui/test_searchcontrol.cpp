// The form of the window and real searches started and stopped from it.
#include "windowaccess.h"

#include "directorychooser.h"
#include "walk/searchthread.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

const QString found = QStringLiteral("找到目标数:");

// Counts a signal of the worker thread in the GUI thread (a signal spy would count it in the
// worker, unsynchronised with the test's reads).
class SignalCounter : public QObject
{
public:
    template<typename Signal>
    SignalCounter(QThread *sender, Signal signal)
    {
        connect(sender, signal, this, [this] { ++count; }, Qt::QueuedConnection);
    }
    int count = 0;
};

} // namespace

class TestSearchControl : public QObject, WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void formIsWired();
    void searches_data();
    void searches();
    void badFormWarnsAndStartsNothing_data();
    void badFormWarnsAndStartsNothing();
    void historyKeepsWhatWasTyped();
    void buttonAndKeysStopARunningSearch();
    void secondPressBeforeTheFinishIsHandledStartsNothing();
    void escapeAsksOnlyDuringASearch();
    void newSearchDuringAPauseDropsOldRows();

private:
    QComboBox *combo(const char *name) { return windowChild<QComboBox>(window.get(), name); }
    QCheckBox *box(const char *name) { return windowChild<QCheckBox>(window.get(), name); }
    QToolButton *searchButton() { return windowChild<QToolButton>(window.get(), "toolButtonSearchST"); }
    searchThread *worker() { return windowChild<searchThread>(window.get()); }
    void setForm(const QString &dir, const QString &names, const QString &grep);
    void search() { callSlot(window.get(), "do_search"); }
    // The finish was handled and every queued batch is shown.
    bool settled()
    {
        return !worker()->isRunning() && searchButton()->text() == QStringLiteral("搜索")
               && !windowChild<QTimer>(window.get(), "showTimer")->isActive();
    }
    QStringList column(int c);
    void showWindow()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    TempTree tree;
};

void TestSearchControl::initTestCase()
{
    tree.file(QStringLiteral("alpha.txt"), "first line\nneedle here\n");
    tree.file(QStringLiteral("beta.log"), "no match\n");
    tree.file(QStringLiteral("sub/gamma.txt"), "needle\nneedle again\n");
    tree.file(QStringLiteral("sub/delta.md"), "nothing\n");
    // The program's own directory, which an empty root names.
    tree.file(QStringLiteral("program/marker-here.txt"), "x");
    QDir::setCurrent(tree.path(QStringLiteral("program")));
}

void TestSearchControl::init()
{
    openWindow();
}

void TestSearchControl::cleanup()
{
    closeWindow();
    DirectoryChooser::setChooser(nullptr);
}

void TestSearchControl::setForm(const QString &dir, const QString &names, const QString &grep)
{
    combo("comboBox_Dir")->setEditText(dir);
    combo("comboBoxForFind")->setEditText(names);
    combo("comboBoxForGrep")->setEditText(grep);
}

QStringList TestSearchControl::column(int c)
{
    QStringList texts;
    for (int r = 0; r < shownRows(window.get()); ++r)
        texts << cell(window.get(), r, c);
    texts.sort();
    return texts;
}

// One pass over the window as a user meets it: the form's fields, a search by the button, the
// table's menu, help and the directory chooser all reach what they should.
void TestSearchControl::formIsWired()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("朔玳1.2"));
    QVERIFY(box("checkBox_recursive")->isChecked());
    QVERIFY(!box("checkBox_searchExact")->isChecked() && !box("checkBox_Ignore")->isChecked()
            && !box("checkBox_deepSearch")->isChecked());
    QVERIFY(QFileInfo(state.path(QStringLiteral("tmp"))).isDir());   // where archive entries go
    window->setInitialDir(tree.root());
    QCOMPARE(combo("comboBox_Dir")->itemText(1), QStringLiteral("/;"));
    QCOMPARE(combo("comboBox_Dir")->currentText(), tree.root());

    combo("comboBoxForFind")->setEditText(QStringLiteral("alpha"));
    searchButton()->click();
    QCOMPARE(searchButton()->text(), QStringLiteral("停止"));
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
    QCOMPARE(column(0), QStringList{QStringLiteral("alpha.txt")});
    QCOMPARE(countText(window.get()), found + QStringLiteral("1"));
    QVERIFY(windowChild<QProgressBar>(window.get(), "busyBar")->isHidden());

    QStringList menu;
    for (QAction *action : resultTable(window.get())->actions()) {
        QVERIFY(action->isEnabled());
        menu << action->text();
    }
    QCOMPARE(menu, (QStringList{"打开文件", "浏览文件所在目录", "", "复制选中文件", "剪切选中文件", "",
                                "复制选中列表信息", "停止显示"}));

    windowChild<QToolButton>(window.get(), "toolButtonHelp")->click();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, QStringLiteral("帮助"));

    QString start;
    DirectoryChooser::setChooser([&](QWidget *parent, const QString &, const QString &s) {
        start = parent == window.get() ? s : QStringLiteral("<no parent>");
        return QStringLiteral("/chosen");
    });
    windowChild<QToolButton>(window.get(), "toolButtonGetDir")->click();
    QCOMPARE(start, tree.root());   // the initial directory is where the chooser opens
    QCOMPARE(combo("comboBox_Dir")->currentText(), QStringLiteral("/chosen"));
}

void TestSearchControl::searches_data()
{
    QTest::addColumn<QString>("dir");      // below the tree; "<sub;>" is sub and an empty root
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("grep");
    QTest::addColumn<QString>("options");  // e exact, r not recursive, i ignore case
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("lineColumns");

    QTest::newRow("text without names searches every file")
        << "sub" << " ; ;" << "needle" << "" << QStringList{"gamma.txt", "gamma.txt"} << true;
    QTest::newRow("names only hide the line columns")
        << "" << " *.txt" << "  " << "" << QStringList{"alpha.txt", "gamma.txt", "marker-here.txt"} << false;
    QTest::newRow("forward slashes") << "sub/" << "gamma" << "" << "" << QStringList{"gamma.txt"} << false;
    QTest::newRow("trailing separator adds the program's folder")
        << "<sub;>" << "a" << "" << "" << QStringList{"delta.md", "gamma.txt", "marker-here.txt"} << false;
    QTest::newRow("options reach the worker")
        << "" << "ALPHA.TXT;gamma.txt" << "NEEDLE" << "eri" << QStringList{"alpha.txt"} << true;
    QTest::newRow("typed blanks are searched") << "" << "*.txt" << " here" << "" << QStringList{"alpha.txt"} << true;
}

void TestSearchControl::searches()
{
    QFETCH(QString, dir);
    QFETCH(QString, names);
    QFETCH(QString, grep);
    QFETCH(QString, options);
    QFETCH(QStringList, expected);
    QFETCH(bool, lineColumns);
    box("checkBox_searchExact")->setChecked(options.contains(QLatin1Char('e')));
    box("checkBox_recursive")->setChecked(!options.contains(QLatin1Char('r')));
    box("checkBox_Ignore")->setChecked(options.contains(QLatin1Char('i')));
    dir = dir == QLatin1String("<sub;>") ? tree.path(QStringLiteral("sub")) + QLatin1Char(';') : tree.path(dir);
    setForm(dir, names, grep);
    search();
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
    QVERIFY(boxes.isEmpty());
    QCOMPARE(column(0), expected);
    QCOMPARE(countText(window.get()), found + QString::number(expected.size()));
    QCOMPARE(resultTable(window.get())->isColumnHidden(2), !lineColumns);
    QCOMPARE(resultTable(window.get())->isColumnHidden(3), !lineColumns);
    if (lineColumns && names == QLatin1String(" ; ;"))
        QCOMPARE(column(2), (QStringList{"1", "2"}));
}

void TestSearchControl::badFormWarnsAndStartsNothing_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("grep");
    QTest::addColumn<QString>("warning");
    const QString missing = tree.path(QStringLiteral("no-such-dir"));
    QTest::newRow("nothing to search") << tree.root() << " ;" << "   "
        << "搜索文件请填写：文件名\n搜索文件内容请填写：内容\n搜索指定文件名的内容请填写：文件名+内容";
    QTest::newRow("missing second root") << tree.path(QStringLiteral("sub")) + QLatin1Char(';') + missing
                                         << "*" << "needle" << QStringLiteral("目录名:%1 不存在").arg(missing);
}

void TestSearchControl::badFormWarnsAndStartsNothing()
{
    QFETCH(QString, dir);
    QFETCH(QString, names);
    QFETCH(QString, grep);
    QFETCH(QString, warning);
    deliverBatch(window.get(), QStringLiteral("/old"), nameHits(QStringLiteral("old"), 3));
    displayTick(window.get());
    const int findItems = combo("comboBoxForFind")->count();
    SignalCounter started(worker(), &QThread::started);
    setForm(dir, names, grep);
    search();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().parent, window.get());
    QCOMPARE(boxes.first().icon, QMessageBox::Warning);
    QCOMPARE(boxes.first().title, QStringLiteral("提示"));
    QCOMPARE(boxes.first().text, warning);
    QTest::qWait(20);
    QCOMPARE(started.count, 0);
    QCOMPARE(shownRows(window.get()), 0);   // emptied before the checks
    QCOMPARE(combo("comboBoxForFind")->count(), findItems);
    QCOMPARE(combo("comboBoxForFind")->currentText(), names);
    QCOMPARE(searchButton()->text(), QStringLiteral("搜索"));
}

// Every search adds its trimmed texts to the lists, repeats included; the field keeps what was
// typed, blanks and all, even when the first item of an empty list is added.
void TestSearchControl::historyKeepsWhatWasTyped()
{
    QComboBox *find = combo("comboBoxForFind");
    QComboBox *grep = combo("comboBoxForGrep");
    const int findItems = find->count();
    const int dirItems = combo("comboBox_Dir")->count();
    setForm(tree.root(), QStringLiteral("  *.txt "), QStringLiteral(" needle "));
    search();
    QCOMPARE(worker()->searchOptions().grepText, QStringLiteral(" needle "));
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
    QCOMPARE(grep->currentText(), QStringLiteral(" needle "));
    showWindow();
    find->lineEdit()->setFocus();
    QTest::keyClick(find->lineEdit(), Qt::Key_Return);   // Return in a field searches, once
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
    QCOMPARE(find->count(), findItems + 2);
    QCOMPARE(find->itemText(findItems + 1), QStringLiteral("*.txt"));
    QCOMPARE(grep->count(), 2);
    QCOMPARE(grep->itemText(0), QStringLiteral("needle"));
    QCOMPARE(combo("comboBox_Dir")->count(), dirItems);
}

void TestSearchControl::buttonAndKeysStopARunningSearch()
{
    showWindow();
    for (Qt::Key stopKey : {Qt::Key_Enter, Qt::Key_Return}) {
        setForm(QStringLiteral("/"), QStringLiteral("*"), QString());
        SignalCounter finished(worker(), &QThread::finished);
        QTest::keyClick(window.get(), Qt::Key_Return);
        QVERIFY(worker()->isRunning());
        QCOMPARE(searchButton()->toolTip(), QStringLiteral("停止搜索"));
        QVERIFY(!windowChild<QProgressBar>(window.get(), "busyBar")->isHidden());
        QTest::qWait(50);
        QTest::keyClick(window.get(), stopKey);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count, 1, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
        QCOMPARE(searchButton()->toolTip(), QStringLiteral("开始搜索"));
        // The count shows the hits received, all of which are shown.
        QCOMPARE(countText(window.get()), found + QString::number(shownRows(window.get())));
    }
}

// A stopped worker may have ended while its finish is still on its way; until that is
// handled the search counts as running, so its last batches cannot reach a new search.
void TestSearchControl::secondPressBeforeTheFinishIsHandledStartsNothing()
{
    setForm(QStringLiteral("/"), QStringLiteral("*"), QString());
    SignalCounter started(worker(), &QThread::started);
    search();
    QTest::qWait(20);
    search();                   // stop
    worker()->wait(5000);       // ended, its finish not handled yet
    search();                   // must not start another search
    QCOMPARE(searchButton()->text(), QStringLiteral("停止"));
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
    QCOMPARE(started.count, 1);
    QCOMPARE(countText(window.get()), found + QString::number(shownRows(window.get())));
}

void TestSearchControl::escapeAsksOnlyDuringASearch()
{
    showWindow();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QVERIFY(boxes.isEmpty());
    setForm(QStringLiteral("/"), QStringLiteral("*"), QString());
    search();
    answer = QMessageBox::Cancel;
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().text, QStringLiteral("正在执行搜索任务，是否转入后台运行？"));
    QCOMPARE(boxes.first().buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(boxes.first().defaultButton, QMessageBox::Cancel);
    QVERIFY(worker()->isRunning() && window->isVisible());
    answer = QMessageBox::Yes;
    QTest::keyClick(window.get(), Qt::Key_Escape);
    // Hidden with a notification area to come back through; minimised where there is none.
    QVERIFY(QSystemTrayIcon::isSystemTrayAvailable() ? !window->isVisible() : window->isMinimized());
    QVERIFY(worker()->isRunning());   // goes on in the background
    window->showNormal();
    answer = QMessageBox::No;
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
    QVERIFY(window->isVisible());
}

void TestSearchControl::newSearchDuringAPauseDropsOldRows()
{
    deliverBatch(window.get(), QStringLiteral("/old"), nameHits(QStringLiteral("old"), 2000));
    setForm(tree.root(), QStringLiteral("gamma"), QString());
    bool searched = false;
    QMetaObject::invokeMethod(window.get(), [&] {
        search();
        searched = true;
    }, Qt::QueuedConnection);
    displayTick(window.get());
    QVERIFY(searched);
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
    QCOMPARE(column(0), QStringList{QStringLiteral("gamma.txt")});
    QCOMPARE(countText(window.get()), found + QStringLiteral("1"));
}

QTEST_MAIN(TestSearchControl)
#include "test_searchcontrol.moc"
