#include "walk/dirlisting.h"

#include "archive/archivekind.h"
#include "walk/wildcard.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Kind = DirListing::Kind;

Kind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::File;
    if (S_ISDIR(mode))
        return Kind::Directory;
    return Kind::Other;
}

Kind kindOfLinkTarget(int dirFd, const char *name)
{
    struct stat st;
    if (fstatat(dirFd, name, &st, 0) != 0)
        return Kind::Other;   // dangling
    switch (kindOfMode(st.st_mode)) {
    case Kind::File: return Kind::LinkToFile;
    case Kind::Directory: return Kind::LinkToDirectory;
    default: return Kind::LinkToOther;
    }
}

Kind kindOf(int dirFd, const char *name, unsigned char type)
{
    switch (type) {
    case DT_REG: return Kind::File;
    case DT_DIR: return Kind::Directory;
    case DT_LNK: return kindOfLinkTarget(dirFd, name);
    case DT_UNKNOWN: break;
    default: return Kind::Other;
    }
    struct stat st;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Kind::Other;
    if (S_ISLNK(st.st_mode))
        return kindOfLinkTarget(dirFd, name);
    return kindOfMode(st.st_mode);
}

// Calls `visit(name, d_type)` for every entry of the directory open at `dirFd`, read from its
// position (the start, for a fresh descriptor); false when it cannot be read.
template<typename Visit>
bool forEachEntry(int dirFd, Visit visit)
{
#ifdef __linux__
    // The records straight from the kernel, into one buffer: no stream, no copy of the
    // descriptor, no rewind.
    alignas(8) char buffer[32 * 1024];
    for (;;) {
        const ssize_t got = getdents64(dirFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        for (ssize_t at = 0; at < got;) {
            const auto *d = reinterpret_cast<const dirent64 *>(buffer + at);
            visit(d->d_name, d->d_type);
            at += d->d_reclen;
        }
    }
#else
    // The stream owns a copy, so the caller's descriptor outlives it.
    const int fd = fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return false;
    DIR *dir = fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    while (const dirent *d = readdir(dir))
        visit(d->d_name, d->d_type);
    closedir(dir);
    return true;
#endif
}

// Names whose text does not turn back into the same bytes cannot be opened by their text.
bool isFaithfullyDecoded(const char *bytes, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        if ((unsigned char)bytes[i] >= 0x80)
            return QFile::encodeName(QFile::decodeName(QByteArray::fromRawData(bytes, qsizetype(length))))
                   == QByteArrayView(bytes, qsizetype(length));
    }
    return true;
}

} // namespace

DirListing DirListing::read(const std::string &path)
{
    // O_DIRECTORY: a path that is no directory (a FIFO among them) is never opened.
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return DirListing();
    DirListing listing = readAt(fd);
    ::close(fd);
    return listing;
}

DirListing DirListing::readAt(int dirFd)
{
    DirListing listing;
    listing.entries_.reserve(64);
    listing.names_.reserve(1024);
    listing.readable_ = forEachEntry(dirFd, [&](const char *name, unsigned char type) {
        // Hidden entries (and "." and "..") are never listed.
        if (name[0] == '.')
            return;
        const Kind kind = kindOf(dirFd, name, type);
        if (kind == Kind::Other)
            return;
        const size_t length = strlen(name);
        listing.entries_.push_back(Entry{unsigned(listing.names_.size()), unsigned(length), kind,
                                         isFaithfullyDecoded(name, length)});
        listing.names_.append(name, length + 1);
    });
    return listing;
}

std::vector<const DirListing::Entry *> DirListing::subdirectories() const
{
    // QDir::Dirs keeps every link whose target exists and is not a regular file.
    std::vector<const Entry *> result;
    for (const Entry &e : entries_) {
        if (e.kind == Kind::Directory || e.kind == Kind::LinkToDirectory || e.kind == Kind::LinkToOther)
            result.push_back(&e);
    }
    return result;
}

std::vector<const DirListing::Entry *> DirListing::filePassEntries(const NameMatcher &filter) const
{
    std::vector<const Entry *> result;
    for (const Entry &e : entries_) {
        if ((e.kind == Kind::File || e.kind == Kind::Directory) && filter.matchesBytes(rawNameView(e)))
            result.push_back(&e);
    }
    return result;
}

std::vector<const DirListing::Entry *> DirListing::archivePassEntries() const
{
    std::vector<const Entry *> result;
    for (const Entry &e : entries_) {
        if (e.kind == Kind::File && isArchiveName(rawNameView(e)))
            result.push_back(&e);
    }
    return result;
}

bool DirListing::isArchiveName(std::string_view rawName)
{
    return archiveKindOf(rawName) != ArchiveKind::None;
}

QString DirListing::name(const Entry &e) const
{
    return QFile::decodeName(QByteArray::fromRawData(rawName(e), qsizetype(e.length)));
}
