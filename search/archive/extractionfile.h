#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The temporary file an archive entry is extracted to, made afresh for every entry: whatever
// stood at the path is unlinked first and the file is created exclusively (mode 0600, links
// never followed), so an extraction can write neither through a link, nor into a hard-linked
// file, nor into a file someone else placed there. Writes are buffered; close() tells whether
// everything reached the file.
class ExtractionFile
{
public:
    ExtractionFile() = default;
    ExtractionFile(const ExtractionFile &) = delete;
    ExtractionFile &operator=(const ExtractionFile &) = delete;
    ~ExtractionFile();

    bool open(const std::string &path);
    bool write(const void *data, size_t size);
    bool close();
    // Closes without writing what is buffered: for an extraction that was stopped, whose bytes
    // nobody reads.
    void abandon();
    bool isOpen() const { return fd_ >= 0; }

private:
    bool flush();
    bool writeAll(const char *p, size_t size);
    // Platform parts: create, write some bytes (the count or -1), close.
    static int createFresh(const std::string &path);
    static int64_t writeSome(int fd, const char *p, size_t size);
    static bool closeFile(int fd);

    int fd_ = -1;
    bool failed_ = false;
    size_t used_ = 0;
    char buffer_[64 * 1024];
};

// Leaves an empty directory at `path` (what extracting a directory entry gives): a file or link
// standing there is removed first. False when no directory could be made.
bool makeExtractionDirectory(const std::string &path);
