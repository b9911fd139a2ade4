#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The temporary file an archive entry is extracted to. Its old bytes are overwritten and, at
// close, cut off after the new ones. (Cutting a file to nothing before writing it again makes
// ext4 write it out at every close, ten times slower for a run of small entries.) A link
// standing at the path is replaced, never followed, and anything but a regular file is refused,
// so an extraction cannot write into some other file. Writes are buffered; close() tells
// whether everything reached the file.
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
    // Closes without writing what is buffered and without cutting the file: for an extraction
    // that was stopped, whose bytes nobody reads. Cutting off a long earlier extraction drops
    // its pages from the cache, which can take a tenth of a second: too long for a stop.
    void abandon();
    bool isOpen() const { return fd_ >= 0; }

private:
    bool flush();
    bool writeAll(const char *p, size_t size);

    int fd_ = -1;
    bool failed_ = false;
    int64_t written_ = 0;
    size_t used_ = 0;
    char buffer_[64 * 1024];
};

// Leaves an empty directory at `path` (what extracting a directory entry gives): a file or link
// standing there is removed first. False when no directory could be made.
bool makeExtractionDirectory(const std::string &path);
