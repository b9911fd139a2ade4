#include "hittime.h"
#include "resultmodel.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include "temptree.h"

namespace {

struct TestBatch
{
    QString dirName;
    QList<TFileInfo> hits;
};

QString hitPathOf(const TestBatch &batch, const TFileInfo &hit)
{
    return batch.dirName.trimmed() + QDir::separator() + hit.fileName.trimmed();
}

// The plain way: five text items per row, the time item only when the file exists. Column 2
// also carries its number for sorting, since line numbers compare as numbers.
QStandardItemModel *plainModel(const QList<TestBatch> &batches, QObject *parent)
{
    auto *model = new QStandardItemModel(0, 5, parent);
    model->setSortRole(Qt::UserRole);
    auto textItem = [](const QString &text) {
        auto *item = new QStandardItem(text);
        item->setData(text, Qt::UserRole);
        return item;
    };
    for (const TestBatch &batch : batches) {
        for (const TFileInfo &hit : batch.hits) {
            QList<QStandardItem *> row;
            row << textItem(hit.fileName.trimmed()) << textItem(batch.dirName);
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

void fill(ResultModel &model, const QList<TestBatch> &batches)
{
    for (const TestBatch &batch : batches) {
        const int b = model.addBatch(batch.dirName, batch.hits);
        for (int i = 0; i < batch.hits.size(); ++i)
            model.stageRow(b, i, hitTimeStamp(hitPathOf(batch, batch.hits.at(i))));
        model.appendStagedRows();
    }
}

// Every cell of both models, as display text; a missing cell as "<none>".
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

QList<TFileInfo> nameHitsForHeaders()
{
    return {TFileInfo{QStringLiteral("h0"), 0, {}}, TFileInfo{QStringLiteral("h1"), 0, {}},
            TFileInfo{QStringLiteral("h2"), 0, {}}};
}

} // namespace

class TestResultModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cellsReadAsTheRowLayoutSays();
    void headers();
    void timeTextMatchesTheFilesTime();
    void timeReaderMatchesThePlainReading();
    void sameCellsAsPlainModel();
    void sortingMatchesPlainModel_data();
    void sortingMatchesPlainModel();
    void lineNumbersSortAsNumbers();
    void rowsWithoutTimeStayLast();
    void selectionFollowsTheSort();
    void stagedRowsAppearInOneInsertion();
    void wholeRowsSelectInTheView();

private:
    void buildVariedTree();

    TempTree tree;
    QList<TestBatch> varied;
};

void TestResultModel::initTestCase()
{
    buildVariedTree();
}

// Files in two folders with times that tie to the minute, differ by seconds, lie before 1970
// and far ahead; names with blanks, duplicates, archive entries and missing files; content hits
// with line numbers that sort differently as text and as numbers.
void TestResultModel::buildVariedTree()
{
    QRandomGenerator random(20120303);
    const QString dirs[] = {tree.dir(QStringLiteral("one")), tree.dir(QStringLiteral("two 2"))};
    const QDateTime times[] = {
        QDateTime(QDate(2012, 3, 3), QTime(9, 5, 1)),   QDateTime(QDate(2012, 3, 3), QTime(9, 5, 59)),
        QDateTime(QDate(2012, 3, 3), QTime(9, 6, 0)),   QDateTime(QDate(1969, 7, 20), QTime(20, 17)),
        QDateTime(QDate(2099, 12, 31), QTime(23, 59)),  QDateTime(QDate(2001, 1, 1), QTime(0, 0)),
    };
    const QString names[] = {QStringLiteral("a.txt"), QStringLiteral("B.txt"), QStringLiteral("b.txt"),
                             QStringLiteral(" spaced.txt "), QStringLiteral("ä.txt"), QStringLiteral("10.log"),
                             QStringLiteral("9.log"), QStringLiteral("missing.txt")};
    for (const QString &dir : dirs) {
        for (const QString &name : names) {
            if (name == QStringLiteral("missing.txt"))
                continue;
            QFile file(dir + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("x");
            file.close();
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(times[random.bounded(6)], QFileDevice::FileModificationTime));
        }
    }
    QFile::copy(QFINDTESTDATA("test_resultmodel.cpp"), dirs[0] + QStringLiteral("/a.zip"));
    for (int b = 0; b < 12; ++b) {
        TestBatch batch;
        batch.dirName = QDir::toNativeSeparators(dirs[b % 2]);
        const int count = 1 + random.bounded(30);
        for (int i = 0; i < count; ++i) {
            TFileInfo hit;
            const int kind = random.bounded(4);
            if (kind == 3)
                hit.fileName = QStringLiteral("a.zip") + QDir::separator() + QStringLiteral("in/")
                               + names[random.bounded(8)];
            else
                hit.fileName = names[random.bounded(8)];
            if (kind >= 1) {
                const int lines[] = {1, 2, 9, 10, 11, 100, 7};
                hit.lineNo = lines[random.bounded(7)];
                const QString texts[] = {QStringLiteral("foo"), QStringLiteral(" foo"), QStringLiteral("Foo"),
                                         QStringLiteral("[GB18030]\tfoo"), QString()};
                hit.lineText = texts[random.bounded(5)];
            }
            batch.hits.append(hit);
        }
        varied.append(batch);
    }
}

void TestResultModel::cellsReadAsTheRowLayoutSays()
{
    TempTree local;
    const QString file = local.file(QStringLiteral("name.txt"), "x");
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime(QDate(2012, 3, 3), QTime(9, 5, 30)), QFileDevice::FileModificationTime));
    f.close();

    const QString dir = QDir::toNativeSeparators(local.root());
    const QList<TestBatch> batches{
        {dir, {TFileInfo{QStringLiteral("  name.txt "), 0, QString()},
               TFileInfo{QStringLiteral("name.txt"), 7, QStringLiteral(" the line ")},
               TFileInfo{QStringLiteral("gone.txt"), 0, QString()},
               TFileInfo{QStringLiteral("a.zip") + QDir::separator() + QStringLiteral("name.txt"), 0, QString()}}},
        {dir + QStringLiteral(" "), {TFileInfo{QStringLiteral("name.txt"), 0, QString()}}},
    };
    ResultModel model;
    fill(model, batches);
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.columnCount(), 5);

    auto text = [&](int r, int c) { return model.index(r, c).data().toString(); };
    QCOMPARE(text(0, 0), QStringLiteral("name.txt"));
    QCOMPARE(text(0, 1), dir);
    QCOMPARE(text(0, 2), QString());
    QVERIFY(model.index(0, 2).data().isValid());   // an empty cell, not a missing one
    QCOMPARE(text(0, 3), QString());
    QCOMPARE(text(0, 4), QStringLiteral("2012-03-03 09:05"));

    QCOMPARE(text(1, 2), QStringLiteral("7"));
    QCOMPARE(text(1, 3), QStringLiteral(" the line "));
    QCOMPARE(text(1, 4), QStringLiteral("2012-03-03 09:05"));

    QVERIFY(!model.index(2, 4).data().isValid());   // the file did not exist
    QVERIFY(!model.index(3, 4).data().isValid());   // an archive entry
    QCOMPARE(text(3, 0), QStringLiteral("a.zip") + QDir::separator() + QStringLiteral("name.txt"));
    // The directory cell is the batch's text as received; the time still comes from the
    // trimmed path.
    QCOMPARE(text(4, 1), dir + QStringLiteral(" "));
    QCOMPARE(text(4, 4), QStringLiteral("2012-03-03 09:05"));

    // Edit role reads as display; nothing else is set.
    QCOMPARE(model.index(1, 3).data(Qt::EditRole).toString(), QStringLiteral(" the line "));
    for (int role : {int(Qt::ToolTipRole), int(Qt::DecorationRole), int(Qt::FontRole),
                     int(Qt::TextAlignmentRole), int(Qt::ForegroundRole)})
        QVERIFY(!model.index(1, 0).data(role).isValid());
    QVERIFY(!model.index(5, 0).data().isValid());
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsSelectable);

    // The time stays as it was when the row was built.
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime(QDate(2020, 1, 1), QTime(1, 1)), QFileDevice::FileModificationTime));
    f.close();
    QCOMPARE(text(0, 4), QStringLiteral("2012-03-03 09:05"));
}

void TestResultModel::headers()
{
    ResultModel model;
    const QStringList texts{QStringLiteral("文件名"), QStringLiteral("目录"), QStringLiteral("行号"),
                            QStringLiteral("内容"), QStringLiteral("修改时间")};
    QSignalSpy changed(&model, &QAbstractItemModel::headerDataChanged);
    for (int s = 0; s < 5; ++s)
        QVERIFY(model.setHeaderData(s, Qt::Horizontal, texts.at(s), Qt::EditRole));
    QCOMPARE(changed.size(), 5);
    for (int s = 0; s < 5; ++s) {
        QCOMPARE(model.headerData(s, Qt::Horizontal).toString(), texts.at(s));
        QCOMPARE(model.headerData(s, Qt::Horizontal, Qt::EditRole).toString(), texts.at(s));
    }
    fill(model, {{QStringLiteral("/d"), nameHitsForHeaders()}});
    QCOMPARE(model.headerData(0, Qt::Vertical).toInt(), 1);
    QCOMPARE(model.headerData(2, Qt::Vertical).toInt(), 3);
}

void TestResultModel::timeTextMatchesTheFilesTime()
{
    TempTree local;
    const QString path = local.file(QStringLiteral("t"), "x");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QDateTime samples[] = {
        QDateTime(QDate(2012, 3, 3), QTime(9, 5)),      QDateTime(QDate(2012, 3, 3), QTime(23, 59, 59)),
        QDateTime(QDate(1970, 1, 1), QTime(0, 0)),      QDateTime(QDate(1965, 12, 31), QTime(12, 30)),
        QDateTime(QDate(2038, 1, 19), QTime(3, 14, 8)), QDateTime(QDate(2400, 2, 29), QTime(13, 0)),
        QDateTime(QDate(2024, 2, 29), QTime(0, 1)),     QDateTime(QDate(1999, 12, 31), QTime(23, 59)),
    };
    for (const QDateTime &when : samples) {
        QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
        const QString expected =
            QFileInfo(path).lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        QVERIFY2(hitTimeText(hitTimeStamp(path)) == expected, qPrintable(when.toString()));
        QCOMPARE(hitTimeText(hitTimeStamp(when)), when.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    }
    QCOMPARE(hitTimeStamp(local.path(QStringLiteral("nothing"))), NoHitTime);
    // Numeric order of the stamps is the order of their texts.
    QVERIFY(hitTimeStamp(samples[3]) < hitTimeStamp(samples[2]));
    QVERIFY(hitTimeStamp(samples[0]) < hitTimeStamp(samples[1]));
}

// The reader stats each name relative to the directory opened once; it must give what a plain
// look-up of the whole path gives, for every kind of entry.
void TestResultModel::timeReaderMatchesThePlainReading()
{
    TempTree local;
    const QDateTime times[] = {
        QDateTime(QDate(2012, 3, 3), QTime(9, 5, 1, 999)), QDateTime(QDate(2012, 3, 3), QTime(9, 5, 59, 1)),
        QDateTime(QDate(1969, 12, 31), QTime(23, 58, 30)), QDateTime(QDate(1901, 1, 1), QTime(0, 0)),
        QDateTime(QDate(2200, 6, 1), QTime(12, 0)), QDateTime(QDate(2012, 3, 3), QTime(9, 5, 1, 999)),
    };
    QStringList names;
    for (int i = 0; i < int(std::size(times)); ++i) {
        const QString name = QStringLiteral("file %1.txt").arg(i);
        QFile file(local.file(name, "x"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY2(file.setFileTime(times[i], QFileDevice::FileModificationTime), qPrintable(times[i].toString()));
        names << name;
    }
    local.file(QStringLiteral("sub/inner.txt"), "y");
    local.link(QStringLiteral("link"), local.path(QStringLiteral("file 0.txt")));
    local.link(QStringLiteral("broken"), local.path(QStringLiteral("nothing")));
    names << QStringLiteral("sub") << QStringLiteral("sub/inner.txt") << QStringLiteral("link")
          << QStringLiteral("broken") << QStringLiteral("missing") << QStringLiteral("a.zip/x.txt")
          << QString() << QStringLiteral("ü-名前");

    HitTimeReader reader(local.root());
    for (const QString &name : names)
        QVERIFY2(reader.stamp(name) == hitTimeStamp(local.root() + QDir::separator() + name), qPrintable(name));
    QVERIFY(reader.stamp(QStringLiteral("file 0.txt")) != NoHitTime);
    QCOMPARE(reader.stamp(QStringLiteral("missing")), NoHitTime);

    HitTimeReader nowhere(local.path(QStringLiteral("no-such-dir")));
    QCOMPARE(nowhere.stamp(QStringLiteral("file 0.txt")), NoHitTime);
}

void TestResultModel::sameCellsAsPlainModel()
{
    ResultModel model;
    fill(model, varied);
    QStandardItemModel *plain = plainModel(varied, this);
    QCOMPARE(model.rowCount(), plain->rowCount());
    QCOMPARE(cellsOf(model), cellsOf(*plain));
    delete plain;
}

void TestResultModel::sortingMatchesPlainModel_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    for (int c = 0; c < 5; ++c) {
        QTest::addRow("column %d ascending", c) << c << int(Qt::AscendingOrder);
        QTest::addRow("column %d descending", c) << c << int(Qt::DescendingOrder);
    }
}

// One sort after another, as a user clicks headers: each must reorder exactly as the plain
// model does, ties keeping their order.
void TestResultModel::sortingMatchesPlainModel()
{
    QFETCH(int, column);
    QFETCH(int, order);
    ResultModel model;
    fill(model, varied);
    QStandardItemModel *plain = plainModel(varied, this);
    const int before[] = {3, 1, 4, 0, 2};
    for (int c : before) {
        model.sort(c, Qt::AscendingOrder);
        plain->sort(c, Qt::AscendingOrder);
    }
    model.sort(column, Qt::SortOrder(order));
    plain->sort(column, Qt::SortOrder(order));
    QCOMPARE(cellsOf(model), cellsOf(*plain));
    delete plain;
}

void TestResultModel::lineNumbersSortAsNumbers()
{
    ResultModel model;
    const QList<TFileInfo> hits{{QStringLiteral("f"), 10, QStringLiteral("x")},
                                {QStringLiteral("f"), 9, QStringLiteral("x")},
                                {QStringLiteral("f"), 100, QStringLiteral("x")},
                                {QStringLiteral("g"), 0, QString()}};
    fill(model, {{QStringLiteral("/nowhere"), hits}});
    model.sort(ResultModel::LineColumn, Qt::AscendingOrder);
    QStringList order;
    for (int r = 0; r < 4; ++r)
        order << model.index(r, 2).data().toString();
    QCOMPARE(order, (QStringList{QString(), QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("100")}));
    model.sort(ResultModel::LineColumn, Qt::DescendingOrder);
    order.clear();
    for (int r = 0; r < 4; ++r)
        order << model.index(r, 2).data().toString();
    QCOMPARE(order, (QStringList{QStringLiteral("100"), QStringLiteral("10"), QStringLiteral("9"), QString()}));
}

void TestResultModel::rowsWithoutTimeStayLast()
{
    TempTree local;
    local.file(QStringLiteral("old"), "x");
    local.file(QStringLiteral("new"), "x");
    QFile oldFile(local.path(QStringLiteral("old")));
    QVERIFY(oldFile.open(QIODevice::ReadWrite));
    QVERIFY(oldFile.setFileTime(QDateTime(QDate(2001, 1, 1), QTime(1, 1)), QFileDevice::FileModificationTime));
    oldFile.close();
    const QList<TFileInfo> hits{{QStringLiteral("gone1"), 0, {}}, {QStringLiteral("new"), 0, {}},
                                {QStringLiteral("gone2"), 0, {}}, {QStringLiteral("old"), 0, {}}};
    for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        ResultModel model;
        fill(model, {{local.root(), hits}});
        model.sort(ResultModel::TimeColumn, order);
        QStringList names;
        for (int r = 0; r < 4; ++r)
            names << model.index(r, 0).data().toString();
        if (order == Qt::AscendingOrder)
            QCOMPARE(names, (QStringList{"old", "new", "gone1", "gone2"}));
        else
            QCOMPARE(names, (QStringList{"new", "old", "gone1", "gone2"}));
    }
}

void TestResultModel::selectionFollowsTheSort()
{
    ResultModel model;
    fill(model, varied);
    QItemSelectionModel selection(&model);
    const int picked[] = {0, 5, 17, model.rowCount() - 1};
    QStringList pickedRows;
    for (int r : picked) {
        selection.select(model.index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << model.index(r, c).data().toString();
        pickedRows << cells.join(QLatin1Char('|'));
    }
    const QModelIndex current = model.index(5, 3);
    selection.setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    const QString currentText = current.data().toString() + model.index(5, 0).data().toString();

    model.sort(ResultModel::NameColumn, Qt::DescendingOrder);

    QStringList selectedRows;
    for (const QModelIndex &index : selection.selectedRows(0)) {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << model.index(index.row(), c).data().toString();
        selectedRows << cells.join(QLatin1Char('|'));
    }
    pickedRows.sort();
    selectedRows.sort();
    QCOMPARE(selectedRows, pickedRows);
    const QModelIndex moved = selection.currentIndex();
    QCOMPARE(moved.data().toString() + model.index(moved.row(), 0).data().toString(), currentText);
}

void TestResultModel::stagedRowsAppearInOneInsertion()
{
    ResultModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    const int b = model.addBatch(QStringLiteral("/d"), nameHitsForHeaders());
    model.stageRow(b, 0, NoHitTime);
    model.stageRow(b, 1, NoHitTime);
    QCOMPARE(model.rowCount(), 0);
    model.appendStagedRows();
    model.stageRow(b, 2, NoHitTime);
    model.appendStagedRows();
    model.appendStagedRows();   // nothing staged: no insertion
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(inserted.at(0).at(1).toInt(), 0);
    QCOMPARE(inserted.at(0).at(2).toInt(), 1);
    QCOMPARE(inserted.at(1).at(1).toInt(), 2);
    QCOMPARE(inserted.at(1).at(2).toInt(), 2);
    QCOMPARE(model.index(2, 0).data().toString(), QStringLiteral("h2"));
}

void TestResultModel::wholeRowsSelectInTheView()
{
    ResultModel model;
    fill(model, varied);
    QTableView view;
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSortingEnabled(true);
    view.setModel(&model);
    view.selectionModel()->select(model.index(2, 3), QItemSelectionModel::ClearAndSelect
                                                         | QItemSelectionModel::Rows);
    const QModelIndexList rows = view.selectionModel()->selectedRows(0);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0).row(), 2);
    QCOMPARE(view.selectionModel()->selectedIndexes().size(), 5);
    // A header click sorts through the model.
    view.sortByColumn(ResultModel::LineColumn, Qt::AscendingOrder);
    int previous = -1;
    for (int r = 0; r < model.rowCount(); ++r) {
        const int line = model.index(r, 2).data().toString().toInt();
        QVERIFY(line >= previous);
        previous = line;
    }
}

QTEST_MAIN(TestResultModel)
#include "test_resultmodel.moc"
