// quorvel-content-reference: for each file named on standard input, compares the engine's hits
// with the straightforward reference's. Used by bench/content_search.sh on whole trees.
// Usage: quorvel-content-reference TEXT [-i] [-D] < files

#include "content/contentsearch.h"
#include "referencegrep.h"
#include "walk/searchoptions.h"
#include "walk/searchthread.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        fprintf(stderr, "usage: quorvel-content-reference TEXT [-i] [-D] < files\n");
        return 2;
    }
    const Qt::CaseSensitivity cs = args.contains(QStringLiteral("-i")) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const bool deep = args.contains(QStringLiteral("-D"));
    searchThread worker;
    worker.setSearchParam({}, {QStringLiteral("*")}, args[1], cs, true, false, deep);
    const TSearchOptions &options = worker.searchOptions();
    ContentSearch search(options);

    QTextStream in(stdin);
    qint64 files = 0, hits = 0, differing = 0;
    for (QString path = in.readLine(); !path.isNull(); path = in.readLine()) {
        if (path.isEmpty())
            continue;
        ++files;
        QList<TFileInfo> got;
        search.search(path, got, path);
        const QList<TFileInfo> expected = referenceGrep(options, path, path);
        hits += expected.size();
        if (got != expected) {
            ++differing;
            if (differing <= 5)
                fprintf(stderr, "differs: %s (reference %lld hits, engine %lld)\n", qPrintable(path),
                        (long long)expected.size(), (long long)got.size());
        }
    }
    printf("files %lld, reference hits %lld, files whose hits differ %lld\n", files, hits, differing);
    return differing ? 1 : 0;
}
