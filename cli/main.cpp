#include "cliarguments.h"
#include "hitprinter.h"
#include "interrupthandler.h"
#include "walk/searchthread.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace {
enum ExitStatus { FoundHits = 0, NoHits = 1, BadInput = 2 };

// Diagnostics of the archive readers: standard output is the stream of hits.
DiagnosticSink standardErrorSink()
{
    return [](const QByteArray &text) {
        fwrite(text.constData(), 1, size_t(text.size()), stderr);
        fflush(stderr);
    };
}

void printText(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    if (!bytes.endsWith('\n'))
        fputc('\n', stream);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-search"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    // From the start: a signal that arrives before the search runs is acted on once it does.
    InterruptHandler interrupt;

    const CliArguments args = parseCliArguments(QCoreApplication::arguments());
    switch (args.action) {
    case CliArguments::Action::Help:
    case CliArguments::Action::Version:
        printText(stdout, args.message);
        return 0;
    case CliArguments::Action::Error:
        printText(stderr, args.message);
        return BadInput;
    case CliArguments::Action::Search:
        break;
    }

    SearchRequest request;
    SearchFormError error;
    if (!assembleSearchRequest(args.form, request, error)) {
        printText(stderr, error.text());
        return BadInput;
    }

    // A private folder for archive extraction, so a running window's files are never touched;
    // none when archives are not read.
    std::optional<QTemporaryDir> tempDir;
    if (args.archives) {
        tempDir.emplace();
        if (!tempDir->isValid()) {
            printText(stderr, QStringLiteral("Cannot create a temporary folder: ") + tempDir->errorString());
            return BadInput;
        }
    }

    // A reader that goes away (`| head -1`) makes writes fail rather than end the process, so
    // that the search stops and the private folder is removed.
    signal(SIGPIPE, SIG_IGN);
    static char outputBuffer[1 << 16];
    setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    HitPrinter printer(args.json ? HitPrinter::Format::Json : HitPrinter::Format::Lines, stdout);

    searchThread worker;
    worker.setSearchParam(request.roots, request.namePatterns, request.grepText, request.caseSensitivity,
                          request.recursive, request.exactName, request.deepSearch);
    if (tempDir)
        worker.setTempDir(tempDir->path());
    worker.setDiagnostics(standardErrorSink());
    worker.setReadArchives(args.archives);
    worker.setReadDocuments(args.documents);
    worker.setWorkerCount(args.workers);
    printer.setOnOutputClosed([&worker] { worker.stopSearch(); });
    // Printed on the worker thread as each batch leaves it: nothing queues up.
    QObject::connect(&worker, &searchThread::PushGotFiles, &worker,
                     [&printer](const QString &dirName, const QList<TFileInfo> &hits) {
                         printer.printBatch(dirName, hits);
                     },
                     Qt::DirectConnection);
    QObject::connect(&worker, &QThread::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    QObject::connect(&interrupt, &InterruptHandler::interruptRequested, &worker, [&] {
        worker.stopSearch();
        if (interrupt.arrivals() > 1) {
            // Asked again: whatever the worker is doing, end now, without the private folder.
            if (tempDir)
                tempDir->remove();
            _exit(128 + interrupt.signalNumber());
        }
    });

    worker.start(QThread::InheritPriority);
    app.exec();
    worker.wait();
    if (!printer.outputClosed() && fflush(stdout) != 0 && !interrupt.interrupted())
        printText(stderr, QStringLiteral("Cannot write the hits: ") + QString::fromLocal8Bit(strerror(errno)));

    if (interrupt.interrupted())
        return 128 + interrupt.signalNumber();
    return printer.hitCount() > 0 ? FoundHits : NoHits;
}
