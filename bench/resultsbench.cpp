// Measures the result table under load, one scenario per process so that memory figures
// are the scenario's own:
//   quorvel-results-bench stream compact|standard TREE EXPECTED [WORKERS]
//       a name search over TREE ("*.dat") that must show EXPECTED rows, in the program's window
//       (compact) or in the plain item-model table (standard), with WORKERS search threads
//       (default: every core); prints one line of figures.
//   quorvel-results-bench stop DIR NAMES TEXT [LABEL]
//       starts searches in the program's window and stops them after varied delays, half with
//       the search button and half with Return; prints the delay from the stop to the moment
//       the window has handled the worker's finish.
#include "mainwindow.h"
#include "walk/searchthread.h"
#include "standardpresenter.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Processor time of the calling thread, in milliseconds.
double threadCpuMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Runs the event loop until `done` holds or `timeoutMs` passes; false on timeout.
bool spinUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

void spinFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

template<typename T>
T *child(QObject *root, const char *name)
{
    T *found = root->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

// The window keeps its extraction folder and hand-off file in a folder of the bench's own.
WindowEnvironment benchEnvironment()
{
    static QTemporaryDir state;
    WindowEnvironment environment;
    environment.tempDir = state.filePath(QStringLiteral("tmp"));
    environment.showNowFile = state.filePath(QStringLiteral("shownow.cmd"));
    environment.driveListText = QStringLiteral("/;");
    return environment;
}

void fillForm(MainWindow &window, const QString &dir, const QString &names, const QString &text)
{
    child<QComboBox>(&window, "comboBox_Dir")->setEditText(dir);
    child<QComboBox>(&window, "comboBoxForFind")->setEditText(names);
    child<QComboBox>(&window, "comboBoxForGrep")->setEditText(text);
}

// Longest time between two firings of a timer while `active` says so.
struct GapMeter
{
    QElapsedTimer clock;
    qint64 last = -1;
    qint64 longest = 0;
    void hit()
    {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0)
            longest = std::max(longest, now - last);
        last = now;
    }
    double longestMs() const { return longest / 1e6; }
};

int stream(const QString &kind, const QString &tree, int expected, int workers)
{
    const bool compact = kind == QLatin1String("compact");
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<StandardPresenter> plain;
    std::unique_ptr<searchThread> plainWorker;
    searchThread *worker = nullptr;
    QTimer *showTimer = nullptr;
    QTableView *table = nullptr;
    if (compact) {
        window = std::make_unique<MainWindow>(benchEnvironment());
        window->show();
        fillForm(*window, tree, QStringLiteral("*.dat"), QString());
        worker = window->findChild<searchThread *>();
        showTimer = child<QTimer>(window.get(), "showTimer");
        table = child<QTableView>(window.get(), "tableView_result");
    } else {
        plain = std::make_unique<StandardPresenter>();
        plain->show();
        plainWorker = std::make_unique<searchThread>();
        worker = plainWorker.get();
        QObject::connect(worker, &searchThread::PushGotFiles, plain.get(), &StandardPresenter::receive);
        worker->setSearchParam({QDir(tree)}, {QStringLiteral("*.dat")}, QString(), Qt::CaseSensitive,
                               true, false, false);
        showTimer = plain->timer();
        table = plain->table();
    }
    worker->setWorkerCount(workers);
    spinFor(300);   // settle: window shown, first ticks done
    const qint64 baseRssKb = statusKb("VmRSS");

    QElapsedTimer clock;
    GapMeter tickGaps, stallGaps;
    bool streaming = false;
    qint64 firstBatchNs = -1, lastBatchNs = -1, shownNs = -1;
    bool workerDone = false;
    double cpuAtStart = 0, cpuAtShown = 0;
    QObject guard;
    QObject::connect(worker, &searchThread::PushGotFiles, &guard, [&] {
        lastBatchNs = clock.nsecsElapsed();
        if (firstBatchNs < 0)
            firstBatchNs = lastBatchNs;
        streaming = true;
    }, Qt::QueuedConnection);
    QObject::connect(worker, &QThread::finished, &guard, [&] { workerDone = true; }, Qt::QueuedConnection);
    QObject::connect(showTimer, &QTimer::timeout, &guard, [&] {
        if (streaming)
            tickGaps.hit();
    });
    QTimer probe;
    probe.setInterval(2);
    QObject::connect(&probe, &QTimer::timeout, &guard, [&] {
        if (streaming)
            stallGaps.hit();
    });
    tickGaps.clock.start();
    stallGaps.clock.start();
    probe.start();

    clock.start();
    cpuAtStart = threadCpuMs();
    if (compact) {
        QMetaObject::invokeMethod(window.get(), "do_search", Qt::DirectConnection);
    } else {
        plain->setSearching(true);
        worker->start();
    }
    QAbstractItemModel *model = table->model();
    QObject::connect(model, &QAbstractItemModel::rowsInserted, &guard, [&] {
        if (shownNs < 0 && model->rowCount() >= expected) {
            shownNs = clock.nsecsElapsed();
            cpuAtShown = threadCpuMs();
            streaming = false;
        }
    });
    if (!spinUntil([&] { return shownNs >= 0 && workerDone; }, 600000)) {
        std::fprintf(stderr, "%s: only %d of %d rows shown\n", qPrintable(kind), model->rowCount(), expected);
        return 1;
    }
    if (!compact)
        plain->setSearching(false);
    spinFor(200);   // the final fitting of the columns
    const qint64 peakKb = statusKb("VmHWM");
    const qint64 rssKb = statusKb("VmRSS");

    std::printf("%s workers=%d rows=%d first_batch_ms=%.0f last_batch_ms=%.0f shown_ms=%.0f after_last_batch_ms=%.0f "
                "longest_tick_gap_ms=%.1f longest_stall_ms=%.1f peak_rss_mb=%lld rss_mb=%lld "
                "rows_rss_mb=%lld gui_cpu_ms=%.0f\n",
                qPrintable(kind), worker->workers(), model->rowCount(), firstBatchNs / 1e6, lastBatchNs / 1e6, shownNs / 1e6,
                (shownNs - lastBatchNs) / 1e6, tickGaps.longestMs(), stallGaps.longestMs(), peakKb / 1024,
                rssKb / 1024, (rssKb - baseRssKb) / 1024, cpuAtShown - cpuAtStart);
    std::fflush(stdout);

    // A click on the header of the name column.
    QElapsedTimer sortClock;
    sortClock.start();
    table->sortByColumn(0, Qt::AscendingOrder);
    std::printf("%s-sort sort_by_name_ms=%.0f\n", qPrintable(kind), sortClock.nsecsElapsed() / 1e6);
    std::fflush(stdout);
    return 0;
}

int stopLatency(const QString &dir, const QString &names, const QString &text, const QString &label)
{
    MainWindow window(benchEnvironment());
    window.show();
    fillForm(window, dir, names, text);
    searchThread *worker = window.findChild<searchThread *>();
    QToolButton *button = child<QToolButton>(&window, "toolButtonSearchST");
    spinFor(200);

    bool handled = false;
    qint64 handledNs = -1;
    QElapsedTimer clock;
    QObject guard;
    // Queued after the window's own connection, so this runs right after its handling.
    QObject::connect(worker, &QThread::finished, &guard, [&] {
        handled = true;
        handledNs = clock.nsecsElapsed();
    }, Qt::QueuedConnection);

    // One search to its end, to show that the stops below land inside the work.
    clock.start();
    button->click();
    spinUntil([&] { return handled; }, 600000);
    const double fullMs = handledNs / 1e6;
    spinFor(100);

    // Stops spread over the whole run: 5 %, 15 %, ... 95 % of it.
    QList<double> latencies;
    int stoppedInside = 0;
    for (int i = 0; i < 10; ++i) {
        handled = false;
        clock.restart();
        button->click();
        spinFor(int(fullMs * (0.05 + 0.1 * i)));
        if (!worker->isRunning())
            continue;
        ++stoppedInside;
        const qint64 stopNs = clock.nsecsElapsed();
        if (i % 2 == 0) {
            button->click();
        } else {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(&window, &press);
        }
        spinUntil([&] { return handled; }, 60000);
        latencies << (handledNs - stopNs) / 1e6;
        spinUntil([&] { return !child<QTimer>(&window, "showTimer")->isActive(); }, 60000);
    }
    std::sort(latencies.begin(), latencies.end());
    QString list;
    for (double l : latencies)
        list += QString::number(l, 'f', 1) + QLatin1Char(' ');
    std::printf("stop %s: full_run_ms=%.0f stops_inside=%d latency_ms=[ %s] max_ms=%.1f\n", qPrintable(label),
                fullMs, stoppedInside, qPrintable(list), latencies.isEmpty() ? -1.0 : latencies.last());
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args.at(1) == QLatin1String("stream"))
        return stream(args.at(2), args.at(3), args.at(4).toInt(), args.value(5).toInt());
    if (args.size() >= 5 && args.at(1) == QLatin1String("stop"))
        return stopLatency(args.at(2), args.at(3), args.at(4), args.value(5, args.at(2)));
    std::fprintf(stderr, "usage: %s stream compact|standard TREE EXPECTED [WORKERS] | stop DIR NAMES TEXT [LABEL]\n", argv[0]);
    return 2;
}
