#include "windowaccess.h"

#include "directorychooser.h"
#include "messageboxes.h"
#include "walk/searchthread.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "temptree.h"

#include <memory>

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

bool sameImage(const QIcon &icon, const QString &file)
{
    const QImage expected(file);
    // Compared premultiplied, the form a pixmap keeps.
    return icon.pixmap(expected.size()).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied)
           == expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QStringList column(QObject *window, int c)
{
    QStringList texts;
    for (int r = 0; r < shownRows(window); ++r)
        texts << cell(window, r, c);
    texts.sort();
    return texts;
}

} // namespace

class TestSearchControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void contentTextWithoutNameSearchesEveryFile();
    void nameOnlyHidesLineColumns();
    void bothEmptyWarnsAndSearchesNothing();
    void missingSecondRootWarnsNamingIt();
    void forwardSlashesAreAccepted();
    void trailingSeparatorAddsTheProgramsDirectory();
    void historyGrowsForEverySearch();
    void returnInAFieldAddsTheHistoryOnce();
    void firstContentSearchKeepsTheTypedBlanks();
    void optionsReachTheWorker();
    void buttonShowsRunningThenIdle();
    void returnStopsARunningSearch();
    void returnInAFieldStartsASearch();
    void secondPressBeforeTheFinishIsHandledStartsNothing();
    void escapeWithoutSearchDoesNothing();
    void escapeDuringSearchAsks();
    void newSearchDuringAPauseDropsOldRows();
    void directoryChooserAddsTheChosenDirectory();

private:
    QComboBox *combo(const char *name) { return windowChild<QComboBox>(window.get(), name); }
    QToolButton *searchButton() { return windowChild<QToolButton>(window.get(), "toolButtonSearchST"); }
    searchThread *worker() { return window->findChild<searchThread *>(); }
    void setForm(const QString &dir, const QString &names, const QString &grep);
    void search() { callSlot(window.get(), "do_search"); }
    // Waits until the finish was handled and every queued batch is shown.
    bool settled();
    void waitSettled() { QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000); }
    bool columnHidden(int c) { return resultTable(window.get())->isColumnHidden(c); }

    TempTree tree;
    std::unique_ptr<MainWindow> window;
    QList<MessageBoxes::Request> boxes;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
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
    boxes.clear();
    answer = QMessageBox::Cancel;
    MessageBoxes::setAnswerer([this](const MessageBoxes::Request &request) {
        boxes.append(request);
        return answer;
    });
    window = std::make_unique<MainWindow>();
    QTest::qWait(1);
}

void TestSearchControl::cleanup()
{
    window.reset();
    MessageBoxes::setAnswerer(nullptr);
    DirectoryChooser::setChooser(nullptr);
}

void TestSearchControl::setForm(const QString &dir, const QString &names, const QString &grep)
{
    combo("comboBox_Dir")->setEditText(dir);
    combo("comboBoxForFind")->setEditText(names);
    combo("comboBoxForGrep")->setEditText(grep);
}

bool TestSearchControl::settled()
{
    return !worker()->isRunning() && searchButton()->text() == QStringLiteral("搜索")
           && !windowChild<QTimer>(window.get(), "showTimer")->isActive();
}

void TestSearchControl::contentTextWithoutNameSearchesEveryFile()
{
    setForm(tree.path(QStringLiteral("sub")), QStringLiteral(" ; ;"), QStringLiteral("needle"));
    search();
    QVERIFY(worker()->isRunning() || worker()->isFinished());
    waitSettled();
    QVERIFY(boxes.isEmpty());
    QCOMPARE(worker()->searchNameFilters(), QStringList{QStringLiteral("***")});
    QCOMPARE(shownRows(window.get()), 2);
    QCOMPARE(column(window.get(), 2), (QStringList{"1", "2"}));
    QVERIFY(!columnHidden(2));
    QVERIFY(!columnHidden(3));
    QCOMPARE(countText(window.get()), found + QStringLiteral("2"));
    QVERIFY(windowChild<QProgressBar>(window.get(), "busyBar")->isHidden());
}

void TestSearchControl::nameOnlyHidesLineColumns()
{
    setForm(tree.root(), QStringLiteral(" *.txt"), QStringLiteral("  "));
    search();
    waitSettled();
    QCOMPARE(column(window.get(), 0), (QStringList{"alpha.txt", "gamma.txt", "marker-here.txt"}));
    QVERIFY(columnHidden(2));
    QVERIFY(columnHidden(3));
    QVERIFY(!columnHidden(4));
    QCOMPARE(countText(window.get()), found + QStringLiteral("3"));
    // The next content search shows them again.
    setForm(tree.root(), QStringLiteral("*.txt"), QStringLiteral("needle"));
    search();
    waitSettled();
    QVERIFY(!columnHidden(2));
    QVERIFY(!columnHidden(3));
}

void TestSearchControl::bothEmptyWarnsAndSearchesNothing()
{
    setForm(tree.root(), QStringLiteral("*.txt"), QString());
    search();
    waitSettled();
    QCOMPARE(shownRows(window.get()), 3);
    const int findItems = combo("comboBoxForFind")->count();
    QAbstractItemModel *before = resultTable(window.get())->model();

    setForm(tree.root(), QStringLiteral(" ;"), QStringLiteral("   "));
    search();
    QCOMPARE(boxes.size(), 1);
    const MessageBoxes::Request &box = boxes.first();
    QCOMPARE(box.parent, window.get());
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.title, QStringLiteral("提示"));
    QCOMPARE(box.text, QStringLiteral("搜索文件请填写：文件名\n搜索文件内容请填写：内容\n"
                                      "搜索指定文件名的内容请填写：文件名+内容"));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.defaultButton, QMessageBox::NoButton);

    QVERIFY(!worker()->isRunning());
    QVERIFY(resultTable(window.get())->model() != before);   // emptied before the checks
    QCOMPARE(shownRows(window.get()), 0);
    QCOMPARE(combo("comboBoxForFind")->count(), findItems);
    QCOMPARE(combo("comboBoxForFind")->currentText(), QStringLiteral(" ;"));
    QCOMPARE(combo("comboBoxForGrep")->currentText(), QStringLiteral("   "));
    QCOMPARE(searchButton()->text(), QStringLiteral("搜索"));
}

void TestSearchControl::missingSecondRootWarnsNamingIt()
{
    const QString missing = tree.path(QStringLiteral("no-such-dir"));
    setForm(tree.path(QStringLiteral("sub")) + QLatin1Char(';') + missing, QStringLiteral("*"),
            QStringLiteral("needle"));
    SignalCounter started(worker(), &QThread::started);
    search();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, QStringLiteral("提示"));
    QCOMPARE(boxes.first().text, QStringLiteral("目录名:%1 不存在").arg(missing));
    QCOMPARE(boxes.first().icon, QMessageBox::Warning);
    QTest::qWait(20);
    QCOMPARE(started.count, 0);
    QVERIFY(!worker()->isRunning());
    QCOMPARE(shownRows(window.get()), 0);
    QCOMPARE(combo("comboBoxForGrep")->count(), 0);
    QCOMPARE(searchButton()->text(), QStringLiteral("搜索"));
    // The columns were already set for a content search when the check failed.
    QVERIFY(!columnHidden(2));
}

void TestSearchControl::forwardSlashesAreAccepted()
{
    const QString typed = tree.root() + QStringLiteral("/sub/");
    setForm(typed, QStringLiteral("gamma"), QString());
    search();
    waitSettled();
    QVERIFY(boxes.isEmpty());
    QCOMPARE(shownRows(window.get()), 1);
    QCOMPARE(cell(window.get(), 0, 1), QDir::toNativeSeparators(tree.path(QStringLiteral("sub"))));
}

void TestSearchControl::trailingSeparatorAddsTheProgramsDirectory()
{
    setForm(tree.path(QStringLiteral("sub")) + QLatin1Char(';'), QStringLiteral("a"), QString());
    search();
    waitSettled();
    QVERIFY(boxes.isEmpty());
    QCOMPARE(column(window.get(), 0), (QStringList{"delta.md", "gamma.txt", "marker-here.txt"}));
    QVERIFY(column(window.get(), 1).contains(QDir::toNativeSeparators(QDir::currentPath())));
}

void TestSearchControl::historyGrowsForEverySearch()
{
    QComboBox *find = combo("comboBoxForFind");
    QComboBox *grep = combo("comboBoxForGrep");
    QComboBox *dir = combo("comboBox_Dir");
    const int findItems = find->count();
    const int dirItems = dir->count();
    for (int i = 0; i < 2; ++i) {
        setForm(tree.root(), QStringLiteral("  *.txt "), QStringLiteral(" needle "));
        search();
        waitSettled();
    }
    QCOMPARE(find->count(), findItems + 2);
    QCOMPARE(find->itemText(findItems), QStringLiteral("*.txt"));
    QCOMPARE(find->itemText(findItems + 1), QStringLiteral("*.txt"));
    QCOMPARE(grep->count(), 2);
    QCOMPARE(grep->itemText(0), QStringLiteral("needle"));
    QCOMPARE(grep->itemText(1), QStringLiteral("needle"));
    QCOMPARE(dir->count(), dirItems);
}

void TestSearchControl::returnInAFieldAddsTheHistoryOnce()
{
    QComboBox *find = combo("comboBoxForFind");
    QComboBox *grep = combo("comboBoxForGrep");
    const int findItems = find->count();
    const int grepItems = grep->count();
    setForm(tree.root(), QStringLiteral("*.md"), QStringLiteral("needle"));
    QTest::keyClick(find->lineEdit(), Qt::Key_Return);
    waitSettled();
    QCOMPARE(find->count(), findItems + 1);
    QCOMPARE(grep->count(), grepItems + 1);
}

// Adding the first history item to the empty content list must not replace what was typed:
// the search looks for the text with its blanks, and the field still shows them.
void TestSearchControl::firstContentSearchKeepsTheTypedBlanks()
{
    QCOMPARE(combo("comboBoxForGrep")->count(), 0);
    setForm(tree.root(), QStringLiteral("*.txt"), QStringLiteral(" here"));
    search();
    QCOMPARE(worker()->searchOptions().grepText, QStringLiteral(" here"));
    waitSettled();
    QCOMPARE(combo("comboBoxForGrep")->currentText(), QStringLiteral(" here"));
    QCOMPARE(combo("comboBoxForGrep")->itemText(0), QStringLiteral("here"));
    QCOMPARE(column(window.get(), 0), QStringList{QStringLiteral("alpha.txt")});
}

void TestSearchControl::optionsReachTheWorker()
{
    windowChild<QCheckBox>(window.get(), "checkBox_searchExact")->setChecked(true);
    windowChild<QCheckBox>(window.get(), "checkBox_recursive")->setChecked(false);
    windowChild<QCheckBox>(window.get(), "checkBox_Ignore")->setChecked(true);
    setForm(tree.root(), QStringLiteral("ALPHA.TXT;gamma.txt"), QStringLiteral("NEEDLE"));
    search();
    waitSettled();
    QCOMPARE(worker()->searchNameFilters(), (QStringList{"ALPHA.TXT", "gamma.txt"}));
    QCOMPARE(worker()->searchOptions().caseSensitivity, Qt::CaseInsensitive);
    QVERIFY(!worker()->searchOptions().deepSearch);
    // Not recursive: gamma.txt in sub is not reached.
    QCOMPARE(column(window.get(), 0), QStringList{QStringLiteral("alpha.txt")});
}

void TestSearchControl::buttonShowsRunningThenIdle()
{
    QToolButton *button = searchButton();
    setForm(QStringLiteral("/"), QStringLiteral("*"), QString());
    search();
    QCOMPARE(button->text(), QStringLiteral("停止"));
    QCOMPARE(button->toolTip(), QStringLiteral("停止搜索"));
    QVERIFY(sameImage(button->icon(), QStringLiteral(":/img/stop.png")));
    QVERIFY(!windowChild<QProgressBar>(window.get(), "busyBar")->isHidden());
    search();   // the button again: stop
    waitSettled();
    QCOMPARE(button->text(), QStringLiteral("搜索"));
    QCOMPARE(button->toolTip(), QStringLiteral("开始搜索"));
    QVERIFY(sameImage(button->icon(), QStringLiteral(":/img/smartsearch.png")));
    QVERIFY(windowChild<QProgressBar>(window.get(), "busyBar")->isHidden());
}

void TestSearchControl::returnStopsARunningSearch()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    setForm(QStringLiteral("/"), QStringLiteral("*"), QString());
    SignalCounter finished(worker(), &QThread::finished);
    QTest::keyClick(window.get(), Qt::Key_Return);
    QVERIFY(worker()->isRunning());
    QTest::qWait(50);
    QTest::keyClick(window.get(), Qt::Key_Enter);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count, 1, 2000);
    waitSettled();
    QCOMPARE(searchButton()->text(), QStringLiteral("搜索"));
    // The count shows the hits received, all of which are shown.
    QCOMPARE(countText(window.get()), found + QString::number(shownRows(window.get())));
}

void TestSearchControl::returnInAFieldStartsASearch()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    setForm(tree.root(), QStringLiteral("beta"), QString());
    QLineEdit *edit = combo("comboBoxForFind")->lineEdit();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    waitSettled();
    QCOMPARE(column(window.get(), 0), QStringList{QStringLiteral("beta.log")});
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
    QVERIFY(!worker()->isRunning());
    search();                   // must not start another search
    QCOMPARE(searchButton()->text(), QStringLiteral("停止"));
    QCOMPARE(started.count, 1);
    waitSettled();
    QCOMPARE(started.count, 1);
    QCOMPARE(countText(window.get()), found + QString::number(shownRows(window.get())));
}

void TestSearchControl::escapeWithoutSearchDoesNothing()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QVERIFY(boxes.isEmpty());
    QVERIFY(window->isVisible());
    QVERIFY(!worker()->isRunning());
    QCOMPARE(searchButton()->text(), QStringLiteral("搜索"));
}

void TestSearchControl::escapeDuringSearchAsks()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    setForm(QStringLiteral("/"), QStringLiteral("*"), QString());
    search();

    answer = QMessageBox::Cancel;
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().parent, window.get());
    QCOMPARE(boxes.first().icon, QMessageBox::Question);
    QCOMPARE(boxes.first().title, QStringLiteral("警告"));
    QCOMPARE(boxes.first().text, QStringLiteral("正在执行搜索任务，是否转入后台运行？"));
    QCOMPARE(boxes.first().buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(boxes.first().defaultButton, QMessageBox::Cancel);
    QVERIFY(worker()->isRunning());
    QVERIFY(window->isVisible());

    answer = QMessageBox::Yes;
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    QVERIFY(worker()->isRunning());   // goes on in the background

    window->show();
    answer = QMessageBox::No;
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QCOMPARE(boxes.size(), 3);
    waitSettled();
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
    waitSettled();
    QCOMPARE(column(window.get(), 0), QStringList{QStringLiteral("gamma.txt")});
    QCOMPARE(countText(window.get()), found + QStringLiteral("1"));
}

void TestSearchControl::directoryChooserAddsTheChosenDirectory()
{
    QComboBox *dir = combo("comboBox_Dir");
    dir->addItem(QStringLiteral("/first"));
    dir->addItem(QStringLiteral("/second"));
    dir->setCurrentIndex(1);
    QString caption, start;
    QString reply = QStringLiteral("/chosen/dir");
    DirectoryChooser::setChooser([&](QWidget *parent, const QString &c, const QString &s) {
        if (parent != window.get())
            qFatal("chooser without the window as parent");
        caption = c;
        start = s;
        return reply;
    });
    callSlot(window.get(), "do_brower_targetdir");
    QCOMPARE(caption, QStringLiteral("选择查找路径"));
    QCOMPARE(start, QStringLiteral("."));
    QCOMPARE(dir->count(), 4);
    QCOMPARE(dir->itemText(3), reply);
    QCOMPARE(dir->currentIndex(), 3);
    QCOMPARE(dir->currentText(), reply);

    // Cancelled: nothing changes.
    reply.clear();
    dir->setCurrentIndex(1);
    callSlot(window.get(), "do_brower_targetdir");
    QCOMPARE(dir->count(), 4);
    QCOMPARE(dir->currentIndex(), 1);

    // The initial directory is where the chooser opens.
    window->setInitialDir(QStringLiteral("/srv"));
    reply = QStringLiteral("/x");
    callSlot(window.get(), "do_brower_targetdir");
    QCOMPARE(start, QStringLiteral("/srv"));
}

QTEST_MAIN(TestSearchControl)
#include "test_searchcontrol.moc"
