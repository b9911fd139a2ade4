#pragma once

#include <cstdint>

// What keeps a hostile archive harmless: how far an entry may expand, and how deep archives
// inside archives are opened.
struct ArchiveLimits
{
    int64_t maxEntryBytes = int64_t(4) << 30;      // no entry expands past this
    int64_t ratioFloorBytes = int64_t(100) << 20;  // past this, the ratio below applies too
    int64_t maxRatio = 200;                        // expanded bytes per compressed byte
    int maxDepth = 3;                              // the archive on disk is depth 1

    // True when an entry that has grown to `expanded` bytes out of `compressed` ones (0 when
    // unknown: then only the size counts) must be left.
    bool exceeded(int64_t expanded, int64_t compressed) const
    {
        if (expanded > maxEntryBytes)
            return true;
        return expanded > ratioFloorBytes && compressed > 0 && expanded / compressed > maxRatio;
    }
};
