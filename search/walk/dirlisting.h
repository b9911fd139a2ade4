#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

class NameMatcher;

// One read of a directory, from which the walk derives the three listings it needs, with
// the entries and order QDir::entryList gives for the same flags (no sorting):
//  - subdirectories: QDir::Dirs | QDir::NoDotAndDotDot
//  - file pass:      name filters, QDir::Dirs | QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot
//  - archive pass:   the archive names of archive/archivekind.h ("*.zip", "*.7z", "*.tar.gz",
//                    ...), QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot
// Hidden entries, FIFOs, sockets, devices and dangling links never appear. Names that are not
// valid UTF-8, which QDir leaves out, are kept and marked: they show with replacement
// characters and are opened by their bytes.
class DirListing
{
public:
    enum class Kind : unsigned char {
        File,            // regular file
        Directory,
        LinkToFile,
        LinkToDirectory,
        LinkToOther,     // link to a FIFO, socket or device
        Other,           // FIFO, socket, device, dangling link
    };

    struct Entry
    {
        unsigned offset;   // of the name in the listing's name buffer
        unsigned length;
        Kind kind;
        bool decodable;    // the name's text encodes back to the same bytes
    };

    // Reads `path` (file-system bytes). An unreadable or vanished directory lists as empty.
    static DirListing read(const std::string &path);
    // Reads the directory open at `dirFd` (freshly opened: it is read from its position), which
    // stays open.
    static DirListing readAt(int dirFd);

    bool isReadable() const { return readable_; }
    const std::vector<Entry> &entries() const { return entries_; }
    const char *rawName(const Entry &e) const { return names_.data() + e.offset; }
    std::string_view rawNameView(const Entry &e) const { return {rawName(e), e.length}; }
    QString name(const Entry &e) const;

    std::vector<const Entry *> subdirectories() const;
    std::vector<const Entry *> filePassEntries(const NameMatcher &filter) const;
    std::vector<const Entry *> archivePassEntries() const;

    static bool isArchiveName(std::string_view rawName);

private:
    bool readable_ = false;
    std::vector<Entry> entries_;
    std::string names_;   // every name, each followed by a NUL
};
