#pragma once

#include <QStringList>

#include <string>
#include <vector>

// The folders that a search's walk reaches from its roots by itself, without a link. A link to
// one of them is not followed: the folder is searched once, under its own path, whichever of
// the two ways the walk happens to meet first. Links elsewhere (outside the roots, into hidden
// folders) are followed as before.
class RootTrees
{
public:
    explicit RootTrees(const QStringList &absoluteRoots);   // roots that cannot be resolved are left out

    // Whether the open directory lies in a root's tree below no hidden folder.
    bool reachesWithoutLinks(int directoryFd) const;

private:
    std::vector<std::string> roots_;   // resolved paths
};
