// The times of a run of hits read on two threads at once equal those read one by one.

#include "filetime.h"
#include "hitstamps.h"
#include "temptree.h"

class HitStampsTest : public QObject
{
    Q_OBJECT

private slots:
    void equalToOneByOne()
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
};

QTEST_GUILESS_MAIN(HitStampsTest)
#include "test_hitstamps.moc"
