#include "walk/mounttable.h"

#include <QFile>
#include <QList>

#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace {

const char *const pseudoTypes[] = {
    "proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "debugfs", "tracefs",
    "securityfs", "pstore", "bpf", "configfs", "fusectl", "mqueue", "binfmt_misc",
    "hugetlbfs", "efivarfs", "nsfs", "selinuxfs", "rpc_pipefs",
};

// Magic numbers of the same file systems, for devices the mount list does not name
// (btrfs subvolumes and overlays report devices of their own). devtmpfs reports tmpfs's
// number and is recognised through the mount list only.
const unsigned long pseudoMagics[] = {
    0x9fa0,       // proc
    0x62656572,   // sysfs
    0x1cd1,       // devpts
    0x27e0eb,     // cgroup
    0x63677270,   // cgroup2
    0x64626720,   // debugfs
    0x74726163,   // tracefs
    0x73636673,   // securityfs
    0x6165676c,   // pstore
    0xcafe4a11,   // bpf
    0x62656570,   // configfs
    0x65735543,   // fusectl
    0x19800202,   // mqueue
    0x42494e4d,   // binfmt_misc
    0x958458f6,   // hugetlbfs
    0xde5e81e4,   // efivarfs
    0x6e736673,   // nsfs
    0xf97cff8c,   // selinuxfs
    0x67596969,   // rpc_pipefs
};

} // namespace

MountTable MountTable::load()
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return fromMountInfo(file.readAll());
}

MountTable MountTable::fromMountInfo(const QByteArray &mountInfo)
{
    // Each line: id parent major:minor root mountpoint options [optional...] - type source ...
    MountTable table;
    for (const QByteArray &line : mountInfo.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const int dash = fields.indexOf("-");
        if (fields.size() < 3 || dash < 0 || dash + 1 >= fields.size())
            continue;
        const QList<QByteArray> majorMinor = fields.at(2).split(':');
        if (majorMinor.size() != 2)
            continue;
        const dev_t device = makedev(majorMinor.at(0).toUInt(), majorMinor.at(1).toUInt());
        table.typeByDevice_.insert(quint64(device), fields.at(dash + 1));
    }
    return table;
}

bool MountTable::isPseudoTypeName(const QByteArray &type)
{
    for (const char *pseudo : pseudoTypes) {
        if (type == pseudo)
            return true;
    }
    return false;
}

bool MountTable::isPseudoFileSystem(dev_t device, int dirFd) const
{
    const auto known = typeByDevice_.constFind(quint64(device));
    if (known != typeByDevice_.constEnd())
        return isPseudoTypeName(known.value());
    struct statfs fs;
    if (fstatfs(dirFd, &fs) != 0)
        return false;
    for (const unsigned long magic : pseudoMagics) {
        if ((unsigned long)fs.f_type == magic)
            return true;
    }
    return false;
}
