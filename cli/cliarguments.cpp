#include "cliarguments.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

CliArguments parseCliArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Finds files by name, text inside files (also in other encodings and in documents) and "
        "entries of archives (ZIP, RAR, 7z, tar, ...).\nDIRS and NAMES are \";\"-separated lists, as in the window's form."));
    const QCommandLineOption dirs({QStringLiteral("d"), QStringLiteral("dirs")},
                                  QStringLiteral("Directories to search (default: the current one)."),
                                  QStringLiteral("DIRS"));
    const QCommandLineOption names({QStringLiteral("n"), QStringLiteral("names")},
                                   QStringLiteral("File-name patterns (wildcards * ? [])."),
                                   QStringLiteral("NAMES"));
    const QCommandLineOption text({QStringLiteral("t"), QStringLiteral("text")},
                                  QStringLiteral("Text to find inside files."), QStringLiteral("TEXT"));
    const QCommandLineOption exact({QStringLiteral("e"), QStringLiteral("exact")},
                                   QStringLiteral("Names must match a pattern whole, not contain it."));
    const QCommandLineOption noRecursive({QStringLiteral("R"), QStringLiteral("no-recursive")},
                                         QStringLiteral("Do not descend into subdirectories."));
    const QCommandLineOption ignoreCase({QStringLiteral("i"), QStringLiteral("ignore-case")},
                                        QStringLiteral("Ignore case when matching the text."));
    const QCommandLineOption deep({QStringLiteral("D"), QStringLiteral("deep")},
                                  QStringLiteral("Deep search: try every text encoding."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("One JSON object per directory with hits."));
    const QCommandLineOption noArchives(QStringLiteral("no-archives"),
                                        QStringLiteral("Do not look inside archives (ZIP, RAR, 7z, tar, ...)."));
    const QCommandLineOption noDocuments(QStringLiteral("no-documents"),
                                         QStringLiteral("Search documents (Office, PDF, ...) in their bytes, not their text."));
    const QCommandLineOption jobs({QStringLiteral("j"), QStringLiteral("threads")},
                                  QStringLiteral("Threads that search (default: one per core); with 1, one thread alone."),
                                  QStringLiteral("N"));
    parser.addOptions({dirs, names, text, exact, noRecursive, ignoreCase, deep, json, noArchives, noDocuments, jobs});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    CliArguments result;
    if (!parser.parse(arguments)) {
        result.action = CliArguments::Action::Error;
        result.message = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.action = CliArguments::Action::Help;
        result.message = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CliArguments::Action::Version;
        result.message = QCoreApplication::applicationName() + QLatin1Char(' ')
                         + QCoreApplication::applicationVersion();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.action = CliArguments::Action::Error;
        result.message = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return result;
    }
    if (parser.isSet(jobs)) {
        bool ok = false;
        result.workers = parser.value(jobs).toInt(&ok);
        if (!ok || result.workers < 1 || result.workers > 1024) {
            result.action = CliArguments::Action::Error;
            result.message = QStringLiteral("-j needs a number of threads from 1 to 1024: %1").arg(parser.value(jobs));
            return result;
        }
    }
    result.form.dirText = parser.isSet(dirs) ? parser.value(dirs) : QDir::currentPath();
    result.form.nameText = parser.value(names);
    result.form.grepText = parser.value(text);
    result.form.exactName = parser.isSet(exact);
    result.form.recursive = !parser.isSet(noRecursive);
    result.form.ignoreCase = parser.isSet(ignoreCase);
    result.form.deepSearch = parser.isSet(deep);
    result.json = parser.isSet(json);
    result.archives = !parser.isSet(noArchives);
    result.documents = !parser.isSet(noDocuments);
    return result;
}
