#include "cliarguments.h"
#include "hitprinter.h"
#include "interrupthandler.h"
#include "walk/searchthread.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

namespace {
enum ExitStatus { FoundHits = 0, NoHits = 1, BadInput = 2, Interrupted = 130 };

// The archive readers write their diagnostics to standard output. Here standard output is
// the stream of hits, so the diagnostics go to standard error and hits to a private copy of
// the original standard output.
FILE *separateHitsFromDiagnostics()
{
    fflush(stdout);
    const int hitsFd = dup(STDOUT_FILENO);
    if (hitsFd < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return stdout;
    FILE *hits = fdopen(hitsFd, "w");
    return hits ? hits : stdout;
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

    // A private folder for archive extraction, so a running window's files are never touched.
    QTemporaryDir tempDir;
    if (!tempDir.isValid()) {
        printText(stderr, QStringLiteral("Cannot create a temporary folder: ") + tempDir.errorString());
        return BadInput;
    }

    FILE *hitStream = separateHitsFromDiagnostics();
    static char outputBuffer[1 << 16];
    setvbuf(hitStream, outputBuffer, _IOFBF, sizeof outputBuffer);
    HitPrinter printer(args.json ? HitPrinter::Format::Json : HitPrinter::Format::Lines, hitStream);

    searchThread worker;
    worker.setSearchParam(request.roots, request.namePatterns, request.grepText, request.caseSensitivity,
                          request.recursive, request.exactName, request.deepSearch);
    worker.setTempDir(tempDir.path());
    // Printed on the worker thread as each batch leaves it: nothing queues up.
    QObject::connect(&worker, &searchThread::PushGotFiles, &worker,
                     [&printer](const QString &dirName, const QList<TFileInfo> &hits) {
                         printer.printBatch(dirName, hits);
                     },
                     Qt::DirectConnection);
    QObject::connect(&worker, &QThread::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    InterruptHandler interrupt;
    QObject::connect(&interrupt, &InterruptHandler::interruptRequested, &worker, &searchThread::stopSearch);

    worker.start(QThread::InheritPriority);
    app.exec();
    worker.wait();
    fflush(hitStream);
    fflush(stdout);

    if (interrupt.interrupted())
        return Interrupted;
    return printer.hitCount() > 0 ? FoundHits : NoHits;
}
