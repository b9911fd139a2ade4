#include "walk/roottrees.h"

#include "walk/directoryhandle.h"

#include <QDir>
#include <QFile>

#include <climits>
#include <cstdlib>

RootTrees::RootTrees(const QStringList &absoluteRoots)
{
    for (const QString &root : absoluteRoots) {
        char resolved[PATH_MAX];
        if (::realpath(QFile::encodeName(QDir::cleanPath(root)).constData(), resolved))
            roots_.emplace_back(resolved);
    }
}

bool RootTrees::reachesWithoutLinks(int directoryFd) const
{
    const std::string path = resolvedDirectoryPath(directoryFd);
    if (path.empty())
        return false;   // unknown: the walk's own record of searched folders still applies
    for (const std::string &root : roots_) {
        const bool below = root == "/" ? path.size() > 1 : path.size() > root.size() && path[root.size()] == '/';
        if (path != root && !(below && path.compare(0, root.size(), root) == 0))
            continue;
        // Hidden folders are not entered by the walk: what lies below one is reached only by a link.
        const size_t start = root == "/" ? 0 : root.size();
        if (path.find("/.", start) == std::string::npos)
            return true;
    }
    return false;
}
