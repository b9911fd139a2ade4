// PDF documents: read by the "quorvel-pdf" module (pdfmodule/), loaded on the first PDF from
// beside the program or from its installed module folder.

#include "documents/formatreaders.h"
#include "walk/stoprequest.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibrary>

#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace {

QuorvelReadPdf loadPdfReader()
{
    // Where `cmake --install` puts the module, relative to the program; tests run one folder deeper.
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString folders[] = {appDir, appDir + QStringLiteral("/" QUORVEL_PDF_MODULE_DIR),
                               appDir + QStringLiteral("/../" QUORVEL_PDF_MODULE_DIR)};
    for (const QString &folder : folders) {
        QLibrary module(folder + QStringLiteral("/" QUORVEL_PDF_MODULE_NAME));
        if (auto read = reinterpret_cast<QuorvelReadPdf>(module.resolve(QUORVEL_READ_PDF_SYMBOL)))
            return read;   // a loaded module stays loaded: QLibrary unloads only when asked
    }
    return nullptr;
}

// Poppler cannot be interrupted inside a page, and one page can take seconds. So the module
// reads on a thread of its own and queues the lines; the search's thread takes them a page (or
// a queue) at a time, hands them to the sink and watches the stop request meanwhile. On a stop
// it leaves at once: the reading thread ends at its next line or page, with nobody left to
// take them.
struct PdfReading
{
    static constexpr size_t mostQueued = 256;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<int, QString>> lines;
    bool readerWaits = false;   // for room in the queue
    bool done = false;
    bool abandoned = false;
    int outcome = QuorvelPdfUnreadable;
};

bool atPage(void *context, int)
{
    auto *reading = static_cast<PdfReading *>(context);
    const std::lock_guard<std::mutex> lock(reading->mutex);
    if (!reading->lines.empty())
        reading->changed.notify_all();   // the page before is whole
    return !reading->abandoned;
}

bool onLine(void *context, int page, const char16_t *text, size_t length)
{
    auto *reading = static_cast<PdfReading *>(context);
    QString line = QString::fromUtf16(text, qsizetype(length));
    std::unique_lock<std::mutex> lock(reading->mutex);
    while (!reading->abandoned && reading->lines.size() >= PdfReading::mostQueued) {
        reading->readerWaits = true;
        reading->changed.notify_all();
        reading->changed.wait(lock);
    }
    reading->readerWaits = false;
    if (reading->abandoned)
        return false;
    reading->lines.emplace_back(page, std::move(line));
    return true;
}

// Readers a stop left running still use poppler's state: the process's end waits for them
// (each ends at its page) before the module's own clean-up runs, at most half a minute.
struct RunningReaders
{
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;
};

RunningReaders &runningReaders()
{
    static auto *readers = new RunningReaders;   // never destroyed: it is used at the very end
    return *readers;
}

void waitForRunningReaders()
{
    RunningReaders &readers = runningReaders();
    std::unique_lock<std::mutex> lock(readers.mutex);
    readers.ended.wait_for(lock, std::chrono::seconds(30), [&] { return readers.count == 0; });
}

DocumentRead abandon(PdfReading &reading)
{
    const std::lock_guard<std::mutex> lock(reading.mutex);
    reading.abandoned = true;
    reading.changed.notify_all();
    return DocumentRead::Stopped;
}

} // namespace

DocumentRead readPdfWith(QuorvelReadPdf read, const QString &path, const DocumentLineSink &sink)
{
    const auto reading = std::make_shared<PdfReading>();
    {
        const std::lock_guard<std::mutex> lock(runningReaders().mutex);
        ++runningReaders().count;
    }
    std::thread([read, reading, path8 = QFile::encodeName(path)] {
        const int outcome = read(path8.constData(), atPage, onLine, reading.get());
        {
            const std::lock_guard<std::mutex> lock(reading->mutex);
            reading->outcome = outcome;
            reading->done = true;
            reading->changed.notify_all();
        }
        RunningReaders &readers = runningReaders();
        const std::lock_guard<std::mutex> lock(readers.mutex);
        --readers.count;
        readers.ended.notify_all();
    }).detach();

    std::deque<std::pair<int, QString>> taken;
    for (;;) {
        bool done = false;
        int outcome = QuorvelPdfUnreadable;
        {
            std::unique_lock<std::mutex> lock(reading->mutex);
            reading->changed.wait_for(lock, std::chrono::milliseconds(20),
                                      [&] { return !reading->lines.empty() || reading->done; });
            taken.swap(reading->lines);
            if (reading->readerWaits)
                reading->changed.notify_all();
            done = reading->done && taken.empty();
            outcome = reading->outcome;
        }
        for (const auto &[page, line] : taken) {
            if (!sink(page, line) || searchStopRequested())
                return abandon(*reading);
        }
        taken.clear();
        if (done) {
            return outcome == QuorvelPdfFinished ? DocumentRead::Finished
                : outcome == QuorvelPdfStopped   ? DocumentRead::Stopped
                                                 : DocumentRead::Unreadable;
        }
        if (searchStopRequested())
            return abandon(*reading);
    }
}

DocumentRead readPdf(const QString &path, const DocumentLineSink &sink)
{
    // Once, whichever worker comes first; the wait at the end is registered after the module
    // is loaded, so that it runs before the module's clean-up.
    static const QuorvelReadPdf read = [] {
        const QuorvelReadPdf loaded = loadPdfReader();
        std::atexit(waitForRunningReaders);
        return loaded;
    }();
    return read ? readPdfWith(read, path, sink) : DocumentRead::ReaderMissing;
}
