// Queued batches turned into rows by the display tick (batches delivered by hand).
#include "windowaccess.h"

#include <functional>

namespace {

// Runs `action` at each event pause of the display tick: it is posted once and posts itself
// again, and Qt handles events posted during a pass only at the next one.
class PauseProbe : public QObject
{
public:
    explicit PauseProbe(std::function<void(int pause)> action) : action(std::move(action)) { arm(); }
    ~PauseProbe() override { enabled = false; }
    int pauses = 0;
    bool enabled = true;

private:
    void arm()
    {
        QMetaObject::invokeMethod(this, [this] {
            if (!enabled)
                return;
            action(++pauses);
            arm();
        }, Qt::QueuedConnection);
    }
    std::function<void(int)> action;
};

} // namespace

class TestResultPresentation : public QObject, WindowFixture
{
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void atMostTenBatchesPerTick()
    {
        for (int b = 0; b < 25; ++b)
            deliverBatch(w(), QStringLiteral("/d") + QString::number(b), nameHits(QStringLiteral("f"), 3));
        for (int shown : {30, 60, 75}) {
            displayTick(w());
            QCOMPARE(shownRows(w()), shown);
        }
        QCOMPARE(cell(w(), 74, 1), QStringLiteral("/d24"));
        QCOMPARE(countText(w()), foundText(75));
    }

    void stopShowingDuringAPauseDropsTheRest()
    {
        deliverBatch(w(), QStringLiteral("/big"), nameHits(QStringLiteral("f"), 2000));
        PauseProbe probe([&](int pause) {
            if (pause == 1)
                callSlot(w(), "do_stopShowTab");
        });
        displayTick(w());
        probe.enabled = false;
        QCOMPARE(probe.pauses, 1);
        QCOMPARE(shownRows(w()), 501);
        const QString summary = QStringLiteral("找到文件数:2000        尚有1499个文件未显示");
        QCOMPARE(countText(w()), summary);

        // The rest is gone, not queued; the summary stays while nothing new is shown.
        displayTick(w());
        QCOMPARE(shownRows(w()), 501);
        QCOMPARE(countText(w()), summary);

        // Later batches are shown as usual and bring the running count back.
        deliverBatch(w(), QStringLiteral("/later"), nameHits(QStringLiteral("g"), 800));
        displayTick(w());
        QCOMPARE(shownRows(w()), 1301);
        QCOMPARE(cell(w(), 501, 0), QStringLiteral("g0"));
        QCOMPARE(countText(w()), foundText(2800));
    }

    void stopShowingBetweenTicksEmptiesTheQueue()
    {
        deliverBatch(w(), QStringLiteral("/d"), nameHits(QStringLiteral("f"), 5));
        displayTick(w());
        callSlot(w(), "do_stopShowTab");
        QCOMPARE(countText(w()), QStringLiteral("找到文件数:5"));   // everything shown: no rest
        deliverBatch(w(), QStringLiteral("/e"), nameHits(QStringLiteral("g"), 3));
        deliverBatch(w(), QStringLiteral("/f"), nameHits(QStringLiteral("h"), 4));
        callSlot(w(), "do_stopShowTab");
        QCOMPARE(countText(w()), QStringLiteral("找到文件数:12        尚有7个文件未显示"));
        deliverBatch(w(), QStringLiteral("/g"), nameHits(QStringLiteral("i"), 2));
        displayTick(w());
        QCOMPARE(shownRows(w()), 7);
        QCOMPARE(cell(w(), 5, 0), QStringLiteral("i0"));
        QCOMPARE(countText(w()), foundText(14));
    }

    // Once the table is long, rows reach the view in bulk: every row is there when the queue has
    // drained, and a stop counts every row built so far as shown.
    void longTableShowsEveryRowAndCountsWhatWasBuilt()
    {
        deliverBatch(w(), QStringLiteral("/long"), nameHits(QStringLiteral("f"), 25000));
        displayTick(w());
        QCOMPARE(shownRows(w()), 25000);
        QCOMPARE(cell(w(), 24999, 0), QStringLiteral("f24999"));

        deliverBatch(w(), QStringLiteral("/stopped"), nameHits(QStringLiteral("s"), 20000));
        PauseProbe stopper([&](int pause) {
            if (pause == 30)
                callSlot(w(), "do_stopShowTab");
        });
        displayTick(w());
        stopper.enabled = false;
        QCOMPARE(shownRows(w()), 25000 + 15001);
        QCOMPARE(countText(w()), QStringLiteral("找到文件数:45000        尚有4999个文件未显示"));
    }

    void tickNeverRunsNested()
    {
        deliverBatch(w(), QStringLiteral("/a"), nameHits(QStringLiteral("f"), 600));
        deliverBatch(w(), QStringLiteral("/b"), nameHits(QStringLiteral("g"), 3));
        int rowsAfterNestedCall = -1;
        PauseProbe probe([&](int pause) {
            if (pause == 1) {
                displayTick(w());
                rowsAfterNestedCall = shownRows(w());
            }
        });
        displayTick(w());
        probe.enabled = false;
        QCOMPARE(rowsAfterNestedCall, 501);
        QCOMPARE(shownRows(w()), 603);
        QCOMPARE(cell(w(), 600, 1), QStringLiteral("/b"));
    }

private:
    QObject *w() { return window.get(); }
};

QTEST_MAIN(TestResultPresentation)
#include "test_resultpresentation.moc"
