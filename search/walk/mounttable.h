#pragma once

#include <QHash>
#include <QString>

#include <sys/types.h>

// Tells which devices hold pseudo file systems (proc, sysfs, devtmpfs, ...), whose files are
// no documents and may block when read. The walk does not descend into them from a root
// that lies elsewhere.
class MountTable
{
public:
    // Reads the mount list of this process (on Linux /proc/self/mountinfo).
    static MountTable load();
    // Builds a table from mountinfo text; exposed for the tests.
    static MountTable fromMountInfo(const QByteArray &mountInfo);

    // `dirFd`: a directory on the device, asked for its file-system type when the mount list
    // does not name the device.
    bool isPseudoFileSystem(dev_t device, int dirFd) const;
    static bool isPseudoTypeName(const QByteArray &type);

private:
    QHash<quint64, QByteArray> typeByDevice_;
};
