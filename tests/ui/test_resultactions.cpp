// The result table's compact model against a plain item model built the straightforward way,
// and the time readers against a plain look-up of each path. Open, reveal, copy, cut and
// describe the selected hits (the desktop replaced by a recorder); the file list and the
// clipboard payloads of copy and cut, byte for byte.
#include "windowaccess.h"

#include "batchrecorder.h"
#include "hitstamps.h"
#include "hittime.h"
#include "resultmodel.h"

#include "desktoplauncher.h"
#include "filedropblocks.h"
#include "filedropmimedata.h"
#include "filetime.h"
#include "localfileurl.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QRandomGenerator>
#include <QStandardItemModel>
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

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xff);
    return b;
}

QByteArray utf16le(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

const QByteArray header = le32(20) + le32(0) + le32(0) + le32(0) + le32(1);

// Claims to have written more than it may; the builder must not believe it.
int boastingWiden(const char *, int, char16_t *out, int capacity)
{
    for (int i = 0; i < capacity; ++i)
        out[i] = u'x';
    return capacity + 100;
}


QString hitPathOf(const Batch &batch, const TFileInfo &hit)
{
    return batch.dirName.trimmed() + QDir::separator() + hit.fileName.trimmed();
}

// The plain way: five text items per row, the time item only when the file exists. Every
// item sorts by its text, the line number by its number.
std::unique_ptr<QStandardItemModel> plainModel(const QList<Batch> &batches)
{
    auto model = std::make_unique<QStandardItemModel>(0, 5);
    model->setSortRole(Qt::UserRole);
    auto textItem = [](const QString &text) {
        auto *item = new QStandardItem(text);
        item->setData(text, Qt::UserRole);
        return item;
    };
    for (const Batch &batch : batches) {
        for (const TFileInfo &hit : batch.hits) {
            QList<QStandardItem *> row{textItem(hit.fileName.trimmed()), textItem(batch.dirName)};
            auto *line = new QStandardItem(hit.lineNo ? QString::number(hit.lineNo) : QString());
            line->setData(hit.lineNo, Qt::UserRole);
            row << line << textItem(hit.lineText);
            const QFileInfo info(hitPathOf(batch, hit));
            if (info.exists())
                row << textItem(info.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm")));
            model->appendRow(row);
        }
    }
    return model;
}

void fill(ResultModel &model, const QList<Batch> &batches)
{
    for (const Batch &batch : batches) {
        const int b = model.addBatch(batch.dirName, batch.hits);
        for (int i = 0; i < batch.hits.size(); ++i)
            model.stageRow(b, i, hitTimeStamp(hitPathOf(batch, batch.hits.at(i))));
        model.appendStagedRows();
    }
}

// Every cell as display text; a missing cell as "<none>".
QStringList cellsOf(const QAbstractItemModel &model)
{
    QStringList cells;
    for (int r = 0; r < model.rowCount(); ++r) {
        for (int c = 0; c < model.columnCount(); ++c) {
            const QVariant v = model.index(r, c).data();
            cells << (v.isValid() ? v.toString() : QStringLiteral("<none>"));
        }
    }
    return cells;
}

} // namespace

class TestResultActions : public QObject, WindowFixture
{
    Q_OBJECT

private slots:
    // Files in two folders with times that tie to the minute, differ by seconds, lie before 1970
    // and far ahead; names with blanks, duplicates, archive entries and missing files; content hits
    // with line numbers that sort differently as text and as numbers.
    void initTestCase()
    {
        QRandomGenerator random(20120303);
        const QString dirs[] = {QStringLiteral("one"), QStringLiteral("two 2")};
        const QDateTime times[] = {
            QDateTime(QDate(2012, 3, 3), QTime(9, 5, 1)),  QDateTime(QDate(2012, 3, 3), QTime(9, 5, 59)),
            QDateTime(QDate(2012, 3, 3), QTime(9, 6, 0)),  QDateTime(QDate(1969, 7, 20), QTime(20, 17)),
            QDateTime(QDate(2099, 12, 31), QTime(23, 59)), QDateTime(QDate(2001, 1, 1), QTime(0, 0)),
        };
        const QString names[] = {"a.txt", "B.txt", "b.txt", " spaced.txt ", "ä.txt", "10.log", "9.log", "missing.txt"};
        for (const QString &dir : dirs) {
            for (const QString &name : names) {
                if (name != QLatin1String("missing.txt"))
                    setModificationTime(variedTree.file(dir + QLatin1Char('/') + name, "x"), times[random.bounded(6)]);
            }
        }
        variedTree.file(QStringLiteral("one/a.zip"), "PK");
        const QString texts[] = {"foo", " foo", "Foo", "[GB18030]\tfoo", QString()};
        const int lines[] = {1, 2, 9, 10, 11, 100, 7};
        for (int b = 0; b < 12; ++b) {
            Batch batch{QDir::toNativeSeparators(variedTree.path(dirs[b % 2])), {}};
            for (int i = 1 + random.bounded(30); i > 0; --i) {
                const int kind = random.bounded(4);
                TFileInfo hit{names[random.bounded(8)], 0, QString()};
                if (kind == 3)
                    hit.fileName = QStringLiteral("a.zip") + QDir::separator() + QStringLiteral("in/") + hit.fileName;
                if (kind >= 1) {
                    hit.lineNo = lines[random.bounded(7)];
                    hit.lineText = texts[random.bounded(5)];
                }
                batch.hits.append(hit);
            }
            varied.append(batch);
        }
    }

    void sameCellsAsPlainModel()
    {
        ResultModel model;
        fill(model, varied);
        QCOMPARE(cellsOf(model), cellsOf(*plainModel(varied)));
    }

    void sortingMatchesPlainModel_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("order");
        for (int c = 0; c < 5; ++c) {
            QTest::addRow("column %d ascending", c) << c << int(Qt::AscendingOrder);
            QTest::addRow("column %d descending", c) << c << int(Qt::DescendingOrder);
        }
    }

    // One sort after another, as a user clicks headers: each must reorder exactly as the plain
    // model does, ties keeping their order, rows without a time last in either order.
    void sortingMatchesPlainModel()
    {
        QFETCH(int, column);
        QFETCH(int, order);
        ResultModel model;
        fill(model, varied);
        const auto plain = plainModel(varied);
        for (int c : {3, 1, 4, 0, 2}) {
            model.sort(c, Qt::AscendingOrder);
            plain->sort(c, Qt::AscendingOrder);
        }
        model.sort(column, Qt::SortOrder(order));
        plain->sort(column, Qt::SortOrder(order));
        QCOMPARE(cellsOf(model), cellsOf(*plain));
    }

    // A selection and the current cell are persistent indexes: a sort moves them with their rows.
    void selectionFollowsTheSort()
    {
        ResultModel model;
        fill(model, varied);
        const auto rowText = [&](int r) { return cellsOf(model).mid(r * 5, 5); };
        std::vector<QPersistentModelIndex> kept;
        QList<QStringList> texts;
        for (int r : {0, 5, 17, model.rowCount() - 1}) {
            kept.emplace_back(model.index(r, 3));
            texts << rowText(r);
        }
        model.sort(ResultModel::NameColumn, Qt::DescendingOrder);
        for (size_t i = 0; i < kept.size(); ++i)
            QVERIFY(rowText(kept[i].row()) == texts[qsizetype(i)] && kept[i].column() == 3);
    }

    // The reader stats each name relative to the directory opened once; it must give what a plain
    // look-up of the whole path gives for every kind of entry, and the text of a stamp must be
    // the file's time as Qt reads it.
    void timeReaderMatchesThePlainReading()
    {
        TempTree local;
        const QDateTime times[] = {
            QDateTime(QDate(2012, 3, 3), QTime(9, 5, 1, 999)), QDateTime(QDate(2012, 3, 3), QTime(23, 59, 59)),
            QDateTime(QDate(1969, 12, 31), QTime(23, 58, 30)), QDateTime(QDate(1901, 1, 1), QTime(0, 0)),
            QDateTime(QDate(2038, 1, 19), QTime(3, 14, 8)),    QDateTime(QDate(2400, 2, 29), QTime(13, 0)),
        };
        QStringList names;
        for (int i = 0; i < int(std::size(times)); ++i) {
            names << QStringLiteral("file %1.txt").arg(i);
            setModificationTime(local.file(names.last(), "x"), times[i]);
        }
        local.file(QStringLiteral("sub/inner.txt"), "y");
        local.link(QStringLiteral("link"), local.path(QStringLiteral("file 0.txt")));
        local.link(QStringLiteral("broken"), local.path(QStringLiteral("nothing")));
        names << "sub" << "sub/inner.txt" << "link" << "broken" << "missing" << "a.zip/x.txt" << QString() << "ü-名前";

        HitTimeReader reader(local.root());
        qint64 previous = NoHitTime;
        for (const QString &name : names) {
            const QString path = local.root() + QDir::separator() + name;
            const qint64 stamp = reader.stamp(name);
            QVERIFY2(stamp == hitTimeStamp(path), qPrintable(name));
            if (stamp != NoHitTime)
                QCOMPARE(hitTimeText(stamp), QFileInfo(path).lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm")));
            if (names.indexOf(name) < 2) {   // later times give greater stamps
                QVERIFY(stamp > previous);
                previous = stamp;
            }
        }
        QCOMPARE(reader.stamp(QStringLiteral("missing")), NoHitTime);
        QCOMPARE(HitTimeReader(local.path(QStringLiteral("no-such-dir"))).stamp(names.first()), NoHitTime);
    }

    // The times of a run of hits read on two threads at once equal those read one by one.
    void stampsOnTwoThreadsEqualOneByOne()
    {
        TempTree local;
        QList<TFileInfo> hits;
        for (int i = 0; i < 300; ++i) {
            const QString name = QStringLiteral("f%1.txt").arg(i);
            // Every seventh name is missing; others share a minute in runs, as files often do.
            if (i % 7 != 3)
                setModificationTime(local.file(name, "x"), QDateTime(QDate(2020, 1, 1 + i / 40), QTime(8, i % 3)));
            hits.append(TFileInfo{i % 5 == 0 ? QLatin1Char(' ') + name + QLatin1Char(' ') : name, 0, QString()});
        }
        HitTimeReader single(local.root());
        HitStampReader shared(local.root());
        std::vector<qint64> stamps;
        for (const auto &[from, to] : {std::pair{0, 300}, {5, 170}, {10, 11}, {299, 300}, {40, 40}}) {
            shared.read(hits, from, to, stamps);
            QCOMPARE(int(stamps.size()), to - from);
            for (int i = from; i < to; ++i)
                QCOMPARE(stamps[size_t(i - from)], single.stamp(hits.at(i).fileName.trimmed()));
        }
        QCOMPARE(stamps.size(), size_t(0));
        shared.read(hits, 0, 300, stamps);
        QCOMPARE(stamps[3], NoHitTime);
        QVERIFY(stamps[0] != NoHitTime);
    }

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

    void packedListRoundTrips()
    {
        const QStringList paths{QStringLiteral("/t/a b.txt"), QStringLiteral("/t/中.txt")};
        const QByteArray packed = packFileList(paths);
        QCOMPARE(packed, QByteArray("/t/a b.txt\0/t/\xe4\xb8\xad.txt\0", 22));
        QCOMPARE(unpackFileList(packed.constData(), int(packed.size())), paths);
        QCOMPARE(unpackFileList(nullptr, 0), QStringList());
    }

    void dropBlocks_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("copy");
        QTest::newRow("two files to move") << QStringList{"/t/a.txt", "/t/b.txt"} << false;
        QTest::newRow("nothing to copy") << QStringList{} << true;
        // Chinese, Cyrillic and an emoji: no single narrow code page holds them all.
        QTest::newRow("any character") << QStringList{QStringLiteral("/t/文件-файл-\U0001F600.txt")} << true;
    }

    // Header, the list in UTF-16 with one zero character after each path, then zeros to the end
    // of a block of 2 * length + 28 bytes: the first of them is the list's second terminator.
    void dropBlocks()
    {
        QFETCH(QStringList, paths);
        QFETCH(bool, copy);
        const QByteArray packed = packFileList(paths);
        const FileDropBlocks blocks = buildFileDropBlocks(packed.constData(), int(packed.size()), copy);
        QByteArray list;
        for (const QString &path : paths)
            list += utf16le(path) + QByteArray(2, '\0');
        const int size = 2 * int(packed.size()) + 28;
        QCOMPARE(blocks.drop, header + list + QByteArray(size - 20 - list.size(), '\0'));
        QVERIFY(size - 20 - list.size() >= 2);
        QCOMPARE(blocks.effect, le32(copy ? 1 : 2));
    }

    void neverWritesPastTheList()
    {
        const QByteArray packed = packFileList({QStringLiteral("/a")});
        const FileDropBlocks blocks = buildFileDropBlocks(packed.constData(), int(packed.size()), true, boastingWiden);
        QCOMPARE(blocks.drop, header + utf16le(QStringLiteral("xxx")) + QByteArray(8, '\0'));
    }

    void mimeData_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QByteArray>("uris");   // the URLs, one a line
        QTest::addColumn<QString>("text");
        QTest::newRow("cut two") << QStringList{"/t/a.txt", "/t/b.txt"} << false
                                 << QByteArray("file:///t/a.txt\nfile:///t/b.txt") << "/t/a.txt\n/t/b.txt";
        QTest::newRow("copy, names as URLs") << QStringList{"/t/a b#1%/中.txt"} << true
                                             << QByteArray("file:///t/a%20b%231%25/%E4%B8%AD.txt") << "/t/a b#1%/中.txt";
        // A hit in the root folder is "/" + "/" + name, which must not become a host.
        QTest::newRow("doubled separator") << QStringList{"//etc/x"} << true << QByteArray("file:///etc/x") << "/etc/x";
        QTest::newRow("nothing") << QStringList{} << true << QByteArray() << "";
    }

    void mimeData()
    {
        QFETCH(QStringList, paths);
        QFETCH(bool, copy);
        QFETCH(QByteArray, uris);
        QFETCH(QString, text);
        std::unique_ptr<QMimeData> data(buildFileDropMimeData(paths, copy));
        QVERIFY(data->hasFormat(QStringLiteral("text/uri-list")));
        QByteArray uriList = uris;
        if (!uriList.isEmpty())
            uriList.replace('\n', "\r\n").append("\r\n");
        QCOMPARE(data->data(QStringLiteral("text/uri-list")), uriList);
        QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")), (copy ? "copy\n" : "cut\n") + uris);
        QCOMPARE(data->hasFormat(QStringLiteral("application/x-kde-cutselection")), !copy);
        if (!copy)
            QCOMPARE(data->data(QStringLiteral("application/x-kde-cutselection")), QByteArray("1"));
        QVERIFY(data->hasText());
        QCOMPARE(data->text(), text);
        QCOMPARE(localFileUrl(QStringLiteral("/a//b/")), QUrl(QStringLiteral("file:///a/b/")));
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

    TempTree tree, variedTree;
    QList<Batch> varied;
    RecordingLauncher launcher;
};

QTEST_MAIN(TestResultActions)
#include "test_resultactions.moc"
