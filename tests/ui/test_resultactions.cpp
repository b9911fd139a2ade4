// Open, reveal, copy, cut and describe the selected hits of the result table.
#include "desktoplauncher.h"
#include "walk/fileinfo.h"
#include "mainwindow.h"
#include "messageboxes.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QTableView>
#include <QTest>

#include "temptree.h"

#include <memory>

namespace {

class RecordingLauncher : public DesktopLauncher
{
public:
    void openFile(const QString &path) override { opened.append(path); }
    void revealFile(const QString &path) override { revealed.append(path); }
    QStringList opened;
    QStringList revealed;
};

TFileInfo nameHit(const QString &name)
{
    return TFileInfo{name, 0, QString()};
}

TFileInfo lineHit(const QString &name, int line, const QString &text)
{
    return TFileInfo{name, line, text};
}

QString clipboardText()
{
    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

QByteArray clipboardData(const QString &format)
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    return data ? data->data(format) : QByteArray();
}

QByteArray uriLine(const QString &path)
{
    return QUrl::fromLocalFile(path).toEncoded() + "\r\n";
}

} // namespace

class TestResultActions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openAsksFromFourRows();
    void revealAsksFromFourRows();
    void copyAsksFromThirtyRows();
    void cutAsksFromThirtyRows();
    void rowsOfOneFile();
    void archiveHitActsOnTheArchive();
    void missingPathsAreSkipped();
    void selectionOrderIsKept();
    void cellsAreTrimmed();
    void cutTwoFiles();
    void copyTwoFiles();
    void copyWithNothingSelected();
    void describeContentAndNameRows();
    void describeWithNothingSelected();
    void menuAndDoubleClickReachTheActions();
    void rowsClickedWithHiddenColumns();

private:
    // Hands a batch to the window as the worker does and waits until its rows show.
    void feed(const QString &dirName, const QList<TFileInfo> &hits);
    void select(const QList<int> &rows);
    void selectAll();
    void invoke(const char *slot);
    QAction *menuAction(const QString &text);

    std::unique_ptr<TempTree> tree;
    std::unique_ptr<MainWindow> window;
    QTableView *table = nullptr;
    RecordingLauncher launcher;
    QList<MessageBoxes::Request> questions;
    QMessageBox::StandardButton answer = QMessageBox::No;
};

void TestResultActions::init()
{
    tree = std::make_unique<TempTree>();
    window = std::make_unique<MainWindow>();
    table = window->findChild<QTableView *>(QStringLiteral("tableView_result"));
    QVERIFY(table);
    launcher = RecordingLauncher();
    DesktopLauncher::install(&launcher);
    questions.clear();
    answer = QMessageBox::No;
    MessageBoxes::setAnswerer([this](const MessageBoxes::Request &request) {
        questions.append(request);
        return answer;
    });
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
}

void TestResultActions::cleanup()
{
    MessageBoxes::setAnswerer({});
    DesktopLauncher::install(nullptr);
    window.reset();
    tree.reset();
}

void TestResultActions::feed(const QString &dirName, const QList<TFileInfo> &hits)
{
    QAbstractItemModel *model = table->model();
    const int wanted = model->rowCount() + int(hits.size());
    QVERIFY(QMetaObject::invokeMethod(window.get(), "do_GetResultFileInfo", Q_ARG(QString, dirName),
                                      Q_ARG(QList<TFileInfo>, hits)));
    QVERIFY(QTest::qWaitFor([&] { return table->model()->rowCount() == wanted; }, 10000));
}

void TestResultActions::select(const QList<int> &rows)
{
    QItemSelectionModel *selection = table->selectionModel();
    selection->clearSelection();
    for (int row : rows)
        selection->select(table->model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TestResultActions::selectAll()
{
    QList<int> rows;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        rows.append(row);
    select(rows);
}

void TestResultActions::invoke(const char *slot)
{
    QVERIFY(QMetaObject::invokeMethod(window.get(), slot));
}

QAction *TestResultActions::menuAction(const QString &text)
{
    for (QAction *action : table->actions()) {
        if (action->text() == text)
            return action;
    }
    qFatal("no menu entry %s", qPrintable(text));
}

void TestResultActions::openAsksFromFourRows()
{
    QList<TFileInfo> hits;
    QStringList paths;
    for (int i = 0; i < 4; ++i) {
        paths.append(tree->file(QStringLiteral("f%1.txt").arg(i), "x"));
        hits.append(nameHit(QStringLiteral("f%1.txt").arg(i)));
    }
    feed(tree->root(), hits);

    select({0, 1, 2});
    invoke("do_openFileDefault");
    QVERIFY(questions.isEmpty());
    QCOMPARE(launcher.opened, paths.mid(0, 3));

    launcher.opened.clear();
    selectAll();
    answer = QMessageBox::No;
    invoke("do_openFileDefault");
    QCOMPARE(questions.size(), 1);
    const MessageBoxes::Request &q = questions.first();
    QCOMPARE(q.parent, window.get());
    QCOMPARE(q.title, QStringLiteral("警告"));
    QCOMPARE(q.text, QStringLiteral("执行4个打开操作，是否继续？"));
    QCOMPARE(q.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(q.defaultButton, QMessageBox::No);
    QVERIFY(launcher.opened.isEmpty());

    answer = QMessageBox::Yes;
    invoke("do_openFileDefault");
    QCOMPARE(questions.size(), 2);
    QCOMPARE(launcher.opened, paths);
    QVERIFY(launcher.revealed.isEmpty());
}

void TestResultActions::revealAsksFromFourRows()
{
    QList<TFileInfo> hits;
    QStringList paths;
    for (int i = 0; i < 4; ++i) {
        paths.append(tree->file(QStringLiteral("r%1.txt").arg(i), "x"));
        hits.append(nameHit(QStringLiteral("r%1.txt").arg(i)));
    }
    feed(tree->root(), hits);

    select({0, 1, 2});
    invoke("do_openExplorerDir");
    QVERIFY(questions.isEmpty());
    QCOMPARE(launcher.revealed, paths.mid(0, 3));

    launcher.revealed.clear();
    selectAll();
    invoke("do_openExplorerDir");
    QCOMPARE(questions.size(), 1);
    QCOMPARE(questions.first().title, QStringLiteral("警告"));
    QCOMPARE(questions.first().text, QStringLiteral("执行4个打开操作，是否继续？"));
    QCOMPARE(questions.first().defaultButton, QMessageBox::No);
    QVERIFY(launcher.revealed.isEmpty());

    answer = QMessageBox::Yes;
    invoke("do_openExplorerDir");
    QCOMPARE(launcher.revealed, paths);   // one request per row
    QVERIFY(launcher.opened.isEmpty());
}

void TestResultActions::copyAsksFromThirtyRows()
{
    // Thirty rows: one line hit in each of thirty files.
    QList<TFileInfo> hits;
    QByteArray uriList;
    for (int i = 0; i < 30; ++i) {
        const QString name = QStringLiteral("c%1.txt").arg(i, 2, 10, QLatin1Char('0'));
        uriList += uriLine(tree->file(name, "x"));
        hits.append(lineHit(name, 1, QStringLiteral("x")));
    }
    feed(tree->root(), hits);

    QList<int> first29;
    for (int row = 0; row < 29; ++row)
        first29.append(row);
    select(first29);
    invoke("do_copyfiles");
    QVERIFY(questions.isEmpty());
    QCOMPARE(clipboardData(QStringLiteral("text/uri-list")), uriList.left(uriList.lastIndexOf("file://")));

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    selectAll();
    invoke("do_copyfiles");
    QCOMPARE(questions.size(), 1);
    QCOMPARE(questions.first().title, QStringLiteral("警告"));
    QCOMPARE(questions.first().text, QStringLiteral("执行30个复制操作，是否继续？"));
    QCOMPARE(questions.first().buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(questions.first().defaultButton, QMessageBox::No);
    QCOMPARE(clipboardText(), QStringLiteral("before"));   // No: the clipboard is left alone

    answer = QMessageBox::Yes;
    invoke("do_copyfiles");
    QCOMPARE(clipboardData(QStringLiteral("text/uri-list")), uriList);
}

void TestResultActions::cutAsksFromThirtyRows()
{
    // Thirty rows of three files: the question counts rows, not files.
    QList<TFileInfo> hits;
    for (int i = 0; i < 30; ++i)
        hits.append(lineHit(QStringLiteral("m%1.txt").arg(i % 3), i + 1, QStringLiteral("line")));
    QByteArray uriList;
    for (int i = 0; i < 3; ++i)
        uriList += uriLine(tree->file(QStringLiteral("m%1.txt").arg(i), "line"));
    feed(tree->root(), hits);

    QList<int> first29;
    for (int row = 0; row < 29; ++row)
        first29.append(row);
    select(first29);
    invoke("do_cutfiles");
    QVERIFY(questions.isEmpty());
    QCOMPARE(clipboardData(QStringLiteral("text/uri-list")), uriList);
    QCOMPARE(clipboardData(QStringLiteral("application/x-kde-cutselection")), QByteArray("1"));

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    selectAll();
    invoke("do_cutfiles");
    QCOMPARE(questions.size(), 1);
    QCOMPARE(questions.first().text, QStringLiteral("执行30个复制操作，是否继续？"));
    QCOMPARE(clipboardText(), QStringLiteral("before"));

    answer = QMessageBox::Yes;
    invoke("do_cutfiles");
    QCOMPARE(clipboardData(QStringLiteral("text/uri-list")), uriList);
}

void TestResultActions::rowsOfOneFile()
{
    const QString path = tree->file(QStringLiteral("notes.txt"), "alpha\nalpha\nalpha\n");
    feed(tree->root(), {lineHit(QStringLiteral("notes.txt"), 1, QStringLiteral("alpha")),
                        lineHit(QStringLiteral("notes.txt"), 2, QStringLiteral("alpha")),
                        lineHit(QStringLiteral("notes.txt"), 3, QStringLiteral("alpha"))});
    selectAll();

    invoke("do_openFileDefault");
    QCOMPARE(launcher.opened, QStringList({path, path, path}));

    invoke("do_copyfiles");
    QCOMPARE(clipboardData(QStringLiteral("text/uri-list")), uriLine(path));
    QCOMPARE(clipboardText(), path);
}

void TestResultActions::archiveHitActsOnTheArchive()
{
    const QString archive = tree->file(QStringLiteral("a.zip"), "PK\x05\x06");
    const QString inner = QStringLiteral("a.zip") + QDir::separator() + QStringLiteral("docs")
                          + QDir::separator() + QStringLiteral("x.txt");
    feed(tree->root(), {lineHit(inner, 4, QStringLiteral("needle here"))});
    QCOMPARE(table->model()->index(0, 4).data().toString(), QString());   // no time for an entry
    select({0});

    invoke("do_openFileDefault");
    QCOMPARE(launcher.opened, QStringList({archive}));
    invoke("do_openExplorerDir");
    QCOMPARE(launcher.revealed, QStringList({archive}));
    invoke("do_copyfiles");
    QCOMPARE(clipboardData(QStringLiteral("text/uri-list")), uriLine(archive));
    invoke("do_cutfiles");
    QCOMPARE(clipboardData(QStringLiteral("text/uri-list")), uriLine(archive));
    QCOMPARE(clipboardData(QStringLiteral("application/x-kde-cutselection")), QByteArray("1"));

    invoke("do_copyPathName_Clipboard");
    QCOMPARE(clipboardText(), QStringLiteral("文件名：") + tree->root() + QDir::separator() + inner
                                  + QStringLiteral("\n行号：4\n行内容：needle here\n\n\n"));
}

void TestResultActions::missingPathsAreSkipped()
{
    const QString kept = tree->file(QStringLiteral("kept.txt"), "x");
    const QString gone = tree->file(QStringLiteral("gone.txt"), "x");
    feed(tree->root(), {nameHit(QStringLiteral("gone.txt")), nameHit(QStringLiteral("kept.txt")),
                        nameHit(QStringLiteral("never.txt"))});
    QVERIFY(QFile::remove(gone));
    selectAll();

    invoke("do_openFileDefault");
    invoke("do_openExplorerDir");
    invoke("do_copyfiles");
    QVERIFY(questions.isEmpty());
    QCOMPARE(launcher.opened, QStringList({kept}));
    QCOMPARE(launcher.revealed, QStringList({kept}));
    QCOMPARE(clipboardData(QStringLiteral("text/uri-list")), uriLine(kept));

    // The description makes no existence check: every row gives a block.
    invoke("do_copyPathName_Clipboard");
    QCOMPARE(clipboardText().count(QStringLiteral("文件名：")), 3);
}

void TestResultActions::selectionOrderIsKept()
{
    QStringList paths;
    QList<TFileInfo> hits;
    for (int i = 0; i < 3; ++i) {
        paths.append(tree->file(QStringLiteral("s%1.txt").arg(i), "x"));
        hits.append(nameHit(QStringLiteral("s%1.txt").arg(i)));
    }
    feed(tree->root(), hits);
    select({2, 0});
    QList<int> listed;
    for (const QModelIndex &index : table->selectionModel()->selectedRows(0))
        listed.append(index.row());
    QCOMPARE(listed, QList<int>({2, 0}));

    invoke("do_openFileDefault");
    QCOMPARE(launcher.opened, QStringList({paths[2], paths[0]}));
    invoke("do_copyfiles");
    QCOMPARE(clipboardData(QStringLiteral("text/uri-list")), uriLine(paths[2]) + uriLine(paths[0]));
}

void TestResultActions::cellsAreTrimmed()
{
    const QString path = tree->file(QStringLiteral("padded.txt"), "x");
    // The directory cell shows the batch's directory as received; paths are built trimmed.
    feed(QStringLiteral("  ") + tree->root() + QStringLiteral(" "), {nameHit(QStringLiteral(" padded.txt "))});
    select({0});
    invoke("do_openFileDefault");
    QCOMPARE(launcher.opened, QStringList({path}));
}

void TestResultActions::cutTwoFiles()
{
    const QString a = tree->file(QStringLiteral("one.txt"), "1");
    const QString b = tree->file(QStringLiteral("two.txt"), "2");
    feed(tree->root(), {nameHit(QStringLiteral("one.txt")), nameHit(QStringLiteral("two.txt"))});
    selectAll();
    invoke("do_cutfiles");

    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    QVERIFY(data);
    const QByteArray urlA = QUrl::fromLocalFile(a).toEncoded();
    const QByteArray urlB = QUrl::fromLocalFile(b).toEncoded();
    QCOMPARE(data->data(QStringLiteral("text/uri-list")), urlA + "\r\n" + urlB + "\r\n");
    QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")), "cut\n" + urlA + "\n" + urlB);
    QCOMPARE(data->data(QStringLiteral("application/x-kde-cutselection")), QByteArray("1"));
    QCOMPARE(data->text(), a + QLatin1Char('\n') + b);
}

void TestResultActions::copyTwoFiles()
{
    const QString a = tree->file(QStringLiteral("目录/甲.txt"), "1");
    const QString b = tree->file(QStringLiteral("目录/b c.txt"), "2");
    feed(tree->path(QStringLiteral("目录")), {nameHit(QStringLiteral("甲.txt")), nameHit(QStringLiteral("b c.txt"))});
    selectAll();
    invoke("do_copyfiles");

    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    QVERIFY(data);
    const QByteArray urlA = QUrl::fromLocalFile(a).toEncoded();
    const QByteArray urlB = QUrl::fromLocalFile(b).toEncoded();
    QCOMPARE(data->data(QStringLiteral("text/uri-list")), urlA + "\r\n" + urlB + "\r\n");
    QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")), "copy\n" + urlA + "\n" + urlB);
    QVERIFY(!data->hasFormat(QStringLiteral("application/x-kde-cutselection")));
    QCOMPARE(data->text(), a + QLatin1Char('\n') + b);
}

void TestResultActions::copyWithNothingSelected()
{
    tree->file(QStringLiteral("x.txt"), "x");
    feed(tree->root(), {nameHit(QStringLiteral("x.txt"))});
    select({});
    invoke("do_copyfiles");
    QVERIFY(questions.isEmpty());
    // The clipboard is replaced all the same, by an empty drop to copy.
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    QVERIFY(data);
    QVERIFY(data->hasFormat(QStringLiteral("text/uri-list")));
    QCOMPARE(data->data(QStringLiteral("text/uri-list")), QByteArray());
    QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")), QByteArray("copy\n"));
    QCOMPARE(data->text(), QString());
}

void TestResultActions::describeContentAndNameRows()
{
    const QString content = tree->file(QStringLiteral("content.txt"), "a\nb\nc\nd\ne\nf\n  find me  \n");
    const QString name = tree->file(QStringLiteral("sub/name.doc"), "x");
    const QDateTime when(QDate(2012, 3, 3), QTime(9, 5));
    for (const QString &path : {content, name}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
    }
    feed(tree->root(), {lineHit(QStringLiteral("content.txt"), 7, QStringLiteral("  find me  "))});
    feed(tree->path(QStringLiteral("sub")), {nameHit(QStringLiteral("name.doc")), nameHit(QStringLiteral("missing.doc"))});
    QCOMPARE(table->model()->index(0, 4).data().toString(), QStringLiteral("2012-03-03 09:05"));

    select({0, 1, 2});
    invoke("do_copyPathName_Clipboard");
    QVERIFY(questions.isEmpty());
    const QString sep = QDir::separator();
    QCOMPARE(clipboardText(),
             QStringLiteral("文件名：") + tree->root() + sep + QStringLiteral("content.txt\n")
                 + QStringLiteral("行号：7\n行内容：find me\n修改时间：2012-03-03 09:05\n\n\n")
                 + QStringLiteral("文件名：") + tree->path(QStringLiteral("sub")) + sep
                 + QStringLiteral("name.doc\n修改时间：2012-03-03 09:05\n\n\n")
                 + QStringLiteral("文件名：") + tree->path(QStringLiteral("sub")) + sep
                 + QStringLiteral("missing.doc\n\n\n"));
}

void TestResultActions::describeWithNothingSelected()
{
    tree->file(QStringLiteral("x.txt"), "x");
    feed(tree->root(), {nameHit(QStringLiteral("x.txt"))});
    select({});
    invoke("do_copyPathName_Clipboard");
    QCOMPARE(clipboardText(), QString());
}

void TestResultActions::menuAndDoubleClickReachTheActions()
{
    const QString a = tree->file(QStringLiteral("menu.txt"), "x");
    feed(tree->root(), {nameHit(QStringLiteral("menu.txt"))});
    select({0});

    menuAction(QStringLiteral("打开文件"))->trigger();
    QCOMPARE(launcher.opened, QStringList({a}));
    emit table->doubleClicked(table->model()->index(0, 1));
    QCOMPARE(launcher.opened, QStringList({a, a}));
    menuAction(QStringLiteral("浏览文件所在目录"))->trigger();
    QCOMPARE(launcher.revealed, QStringList({a}));
    menuAction(QStringLiteral("剪切选中文件"))->trigger();
    QCOMPARE(clipboardData(QStringLiteral("application/x-kde-cutselection")), QByteArray("1"));
    menuAction(QStringLiteral("复制选中文件"))->trigger();
    QCOMPARE(clipboardData(QStringLiteral("x-special/gnome-copied-files")),
             "copy\n" + QUrl::fromLocalFile(a).toEncoded());
    menuAction(QStringLiteral("复制选中列表信息"))->trigger();
    QVERIFY(clipboardText().startsWith(QStringLiteral("文件名：") + tree->root()));
}

void TestResultActions::rowsClickedWithHiddenColumns()
{
    // A name search hides "行号" and "内容"; rows picked with the mouse still count.
    const QString a = tree->file(QStringLiteral("click-a.txt"), "x");
    const QString b = tree->file(QStringLiteral("click-b.txt"), "x");
    feed(tree->root(), {nameHit(QStringLiteral("click-a.txt")), nameHit(QStringLiteral("click-b.txt"))});
    table->setColumnHidden(2, true);
    table->setColumnHidden(3, true);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QPoint second = table->visualRect(table->model()->index(1, 0)).center();
    const QPoint first = table->visualRect(table->model()->index(0, 1)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, second);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, first);
    invoke("do_openFileDefault");
    QCOMPARE(launcher.opened, QStringList({b, a}));

    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, second);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, second);
    QCOMPARE(launcher.opened.mid(2), QStringList({b}));
}

QTEST_MAIN(TestResultActions)
#include "test_resultactions.moc"
