// Open, reveal, copy, cut and describe the selected hits (the desktop replaced by a recorder).
#include "windowaccess.h"

#include "desktoplauncher.h"
#include "filetime.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QStatusBar>

namespace {

class RecordingLauncher : public DesktopLauncher
{
public:
    bool openFile(const QString &path) override
    {
        opened.append(path);
        return works;
    }
    void revealFiles(const QStringList &paths, const std::function<void()> &failed) override
    {
        revealed.append(paths.join(QLatin1Char(',')));   // one entry per call
        if (!works)
            failed();
    }
    QStringList opened;
    QStringList revealed;
    bool works = true;
};

QByteArray clipboardData(const QString &format)
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    return data ? data->data(format) : QByteArray();
}

} // namespace

class TestResultActions : public QObject, WindowFixture
{
    Q_OBJECT

private slots:
    void init()
    {
        openWindow();
        answer = QMessageBox::No;
        launcher = RecordingLauncher();
        DesktopLauncher::install(&launcher);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }

    void cleanup()
    {
        DesktopLauncher::install(nullptr);
        closeWindow();
    }

    void manyRowsAsk_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::addColumn<int>("files");   // rows spread over this many files
        QTest::addColumn<int>("quiet");   // the most rows that act without asking
        QTest::addColumn<QString>("question");
        QTest::newRow("open") << "do_openFileDefault" << 4 << 3 << "执行4个打开操作，是否继续？";
        QTest::newRow("reveal") << "do_openExplorerDir" << 4 << 3 << "执行4个打开操作，是否继续？";
        QTest::newRow("copy") << "do_copyfiles" << 30 << 29 << "执行30个复制操作，是否继续？";
        QTest::newRow("cut, rows not files count") << "do_cutfiles" << 3 << 29 << "执行30个复制操作，是否继续？";
    }

    // Up to a number of rows an action acts at once; from one more it asks first, No leaves
    // everything as it was, and Yes acts on every row (which rows, in which way, is shown below).
    void manyRowsAsk()
    {
        QFETCH(QString, slot);
        QFETCH(int, files);
        QFETCH(int, quiet);
        QFETCH(QString, question);
        QList<TFileInfo> hits;
        QList<int> rows;
        for (int i = 0; i <= quiet; ++i) {
            const QString name = QStringLiteral("f%1.txt").arg(i % files, 2, 10, QLatin1Char('0'));
            tree.file(name, "x");
            hits.append(TFileInfo{name, i + 1, QStringLiteral("x")});
            rows << i;
        }
        feed(tree.root(), hits);
        // Opened once per row, revealed in one call (one folder), each file copied once.
        const auto acts = [&](int rows) {
            const QByteArray effect = effectOf(slot);
            return slot == QLatin1String("do_openExplorerDir") ? effect.count(',') + 1 == qMin(rows, files)
                   : slot == QLatin1String("do_openFileDefault") ? effect.count('\n') + 1 == rows
                                                                  : effect.count('\n') == qMin(rows, files);
        };
        select(rows.mid(0, quiet));
        callSlot(window.get(), slot.toLatin1());
        QVERIFY(boxes.isEmpty() && acts(quiet));

        launcher = RecordingLauncher();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        select(rows);
        callSlot(window.get(), slot.toLatin1());
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first().text, question);
        QCOMPARE(effectOf(slot), QByteArray());
        answer = QMessageBox::Yes;
        callSlot(window.get(), slot.toLatin1());
        QVERIFY(acts(quiet + 1));
    }

    // Actions work on the file a row names, or on the archive of a hit inside one; in the order of
    // the selection; on trimmed cells; skipping what no longer exists; each file copied once, and
    // revealed once per folder, all of a folder's files in one call.
    void targetsOfTheSelectedRows()
    {
        const QString notes = tree.file(QStringLiteral("notes.txt"), "a\na\n");
        const QString archive = tree.file(QStringLiteral("a.zip"), "PK\x05\x06");
        const QString padded = tree.file(QStringLiteral("padded.txt"), "x");
        const QString gone = tree.file(QStringLiteral("gone.txt"), "x");
        const QString inner = QStringLiteral("a.zip") + QDir::separator() + QStringLiteral("docs")
                              + QDir::separator() + QStringLiteral("x.txt");
        feed(QStringLiteral(" ") + tree.root(), {{"notes.txt", 1, "a"}, {"notes.txt", 2, "a"}, {inner, 4, "a"},
                                                 {"gone.txt", 0, {}}, {" padded.txt ", 0, {}}});
        const QString other = tree.file(QStringLiteral("sub/other.txt"), "x");
        feed(tree.path(QStringLiteral("sub")), {{"other.txt", 0, {}}});
        QVERIFY(QFile::remove(gone));
        select({4, 5, 2, 0, 1, 3});
        answer = QMessageBox::Yes;
        for (const char *slot : {"do_openFileDefault", "do_openExplorerDir", "do_copyfiles"})
            callSlot(window.get(), slot);
        QCOMPARE(boxes.size(), 2);   // six rows: opening and revealing ask first
        QCOMPARE(launcher.opened, (QStringList{padded, other, archive, notes, notes}));
        QCOMPARE(launcher.revealed, (QStringList{padded + ',' + archive + ',' + notes, other}));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringList({padded, other, archive, notes}).join('\n'));
        QCOMPARE(clipboardData(QStringLiteral("x-special/gnome-copied-files")).left(5), QByteArray("copy\n"));

        // Nothing selected: the clipboard still gets a drop, an empty one.
        select({});
        callSlot(window.get(), "do_cutfiles");
        const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
        QVERIFY(data && data->hasFormat(QStringLiteral("text/uri-list")));
        QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")), QByteArray("cut\n"));
    }

    void describeSelectedRows()
    {
        const QString content = tree.file(QStringLiteral("content.txt"), "x");
        tree.file(QStringLiteral("sub/name.doc"), "x");
        for (const QString &path : {content, tree.path(QStringLiteral("sub/name.doc"))})
            setModificationTime(path, QDateTime(QDate(2012, 3, 3), QTime(9, 5)));
        const QString inner = QStringLiteral("a.zip") + QDir::separator() + QStringLiteral("x.txt");
        feed(tree.root(), {{"content.txt", 7, "  find me  "}, {inner, 4, "needle"}});
        feed(tree.path(QStringLiteral("sub")), {{"name.doc", 0, {}}, {"missing.doc", 0, {}}});
        select({0, 1, 2, 3});
        callSlot(window.get(), "do_copyPathName_Clipboard");
        QVERIFY(boxes.isEmpty());
        const QString sep = QDir::separator();
        const QString sub = tree.path(QStringLiteral("sub")) + sep;
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 "文件名：" + tree.root() + sep + "content.txt\n行号：7\n行内容：find me\n修改时间：2012-03-03 09:05\n\n\n"
                 + "文件名：" + tree.root() + sep + inner + "\n行号：4\n行内容：needle\n\n\n"
                 + "文件名：" + sub + "name.doc\n修改时间：2012-03-03 09:05\n\n\n"
                 + "文件名：" + sub + "missing.doc\n\n\n");
        select({});
        callSlot(window.get(), "do_copyPathName_Clipboard");
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    }

    void menuAndMouseReachTheActions()
    {
        const QString a = tree.file(QStringLiteral("click-a.txt"), "x");
        const QString b = tree.file(QStringLiteral("click-b.txt"), "x");
        feed(tree.root(), {{"click-a.txt", 0, {}}, {"click-b.txt", 0, {}}});
        QTableView *table = resultTable(window.get());
        select({0});
        menuAction(QStringLiteral("打开文件"))->trigger();
        menuAction(QStringLiteral("浏览文件所在目录"))->trigger();
        QCOMPARE(launcher.opened, QStringList{a});
        QCOMPARE(launcher.revealed, QStringList{a});
        menuAction(QStringLiteral("剪切选中文件"))->trigger();
        QCOMPARE(clipboardData(QStringLiteral("application/x-kde-cutselection")), QByteArray("1"));
        menuAction(QStringLiteral("复制选中文件"))->trigger();
        QCOMPARE(clipboardData(QStringLiteral("x-special/gnome-copied-files")), "copy\n" + QUrl::fromLocalFile(a).toEncoded());
        menuAction(QStringLiteral("复制选中列表信息"))->trigger();
        QVERIFY(QGuiApplication::clipboard()->text().startsWith(QStringLiteral("文件名：") + a));

        // A name search hides "行号" and "内容"; rows picked with the mouse still count.
        table->setColumnHidden(2, true);
        table->setColumnHidden(3, true);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        launcher.opened.clear();
        const QPoint second = table->visualRect(table->model()->index(1, 0)).center();
        const QPoint first = table->visualRect(table->model()->index(0, 1)).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, second);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, first);
        callSlot(window.get(), "do_openFileDefault");
        QCOMPARE(launcher.opened, (QStringList{b, a}));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, second);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, second);
        QCOMPARE(launcher.opened.mid(2), QStringList{b});

        // When nothing can open or show the file, the status bar says so.
        launcher.works = false;
        for (const char *slot : {"do_openFileDefault", "do_openExplorerDir"}) {
            window->statusBar()->clearMessage();
            callSlot(window.get(), slot);
            QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("无法打开: ") + b);
        }
    }

private:
    // Hands a batch to the window as the worker does and waits until its rows show.
    void feed(const QString &dirName, const QList<TFileInfo> &hits)
    {
        const int wanted = shownRows(window.get()) + int(hits.size());
        deliverBatch(window.get(), dirName, hits);
        QVERIFY(QTest::qWaitFor([&] { return shownRows(window.get()) == wanted; }, 10000));
    }

    void select(const QList<int> &rows)
    {
        QTableView *table = resultTable(window.get());
        table->selectionModel()->clearSelection();
        for (int row : rows)
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    QAction *menuAction(const QString &text)
    {
        for (QAction *action : resultTable(window.get())->actions()) {
            if (action->text() == text)
                return action;
        }
        qFatal("no menu entry %s", qPrintable(text));
    }

    // What `slot` acted on: the recorded paths, or the files on the clipboard.
    QByteArray effectOf(const QString &slot)
    {
        if (slot == QLatin1String("do_openFileDefault"))
            return launcher.opened.join(QLatin1Char('\n')).toUtf8();
        if (slot == QLatin1String("do_openExplorerDir"))
            return launcher.revealed.join(QLatin1Char('\n')).toUtf8();
        return clipboardData(QStringLiteral("text/uri-list"))
               + (slot == QLatin1String("do_cutfiles") ? clipboardData(QStringLiteral("application/x-kde-cutselection"))
                                                       : QByteArray());
    }

    TempTree tree;
    RecordingLauncher launcher;
};

QTEST_MAIN(TestResultActions)
#include "test_resultactions.moc"
