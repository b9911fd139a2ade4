// The result table's compact model against a plain item model built the straightforward way,
// and the time readers against a plain look-up of each path.
#include "hitstamps.h"
#include "hittime.h"
#include "resultmodel.h"
#include "filetime.h"

#include <QRandomGenerator>
#include <QStandardItemModel>

#include "batchrecorder.h"
#include "temptree.h"

#include <memory>

namespace {

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

class TestResultModel : public QObject
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
                    setModificationTime(tree.file(dir + QLatin1Char('/') + name, "x"), times[random.bounded(6)]);
            }
        }
        tree.file(QStringLiteral("one/a.zip"), "PK");
        const QString texts[] = {"foo", " foo", "Foo", "[GB18030]\tfoo", QString()};
        const int lines[] = {1, 2, 9, 10, 11, 100, 7};
        for (int b = 0; b < 12; ++b) {
            Batch batch{QDir::toNativeSeparators(tree.path(dirs[b % 2])), {}};
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
        TempTree tree;
        QList<TFileInfo> hits;
        for (int i = 0; i < 300; ++i) {
            const QString name = QStringLiteral("f%1.txt").arg(i);
            // Every seventh name is missing; others share a minute in runs, as files often do.
            if (i % 7 != 3)
                setModificationTime(tree.file(name, "x"), QDateTime(QDate(2020, 1, 1 + i / 40), QTime(8, i % 3)));
            hits.append(TFileInfo{i % 5 == 0 ? QLatin1Char(' ') + name + QLatin1Char(' ') : name, 0, QString()});
        }
        HitTimeReader single(tree.root());
        HitStampReader shared(tree.root());
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

private:
    TempTree tree;
    QList<Batch> varied;
};

QTEST_MAIN(TestResultModel)
#include "test_resultmodel.moc"
