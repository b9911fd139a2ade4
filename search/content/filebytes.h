#pragma once

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <memory>
#include <vector>

// Read-only access to one regular file by offset. Directories, devices, pipes and sockets are
// refused: reading them as text could block or never end.
class FileBytes
{
public:
    FileBytes();
    ~FileBytes();
    FileBytes(const FileBytes &) = delete;
    FileBytes &operator=(const FileBytes &) = delete;

    bool open(const QString &path);
#ifdef Q_OS_UNIX
    // Opens `name` (file-system bytes) in the directory open at `dirFd`, which listed it as a
    // regular file: its size is not asked for; `readFirst` learns it.
    bool openAt(int dirFd, const QByteArray &name);
#endif
    // Reads the first bytes, up to `length`, and returns how many (-1: unreadable, or no regular
    // file). Then the size is known: a file that ends within them needs no stat.
    qint64 readFirst(unsigned char *buffer, qint64 length);
    qint64 size() const { return size_; }
    // The file turned out shorter than it said (it shrank while being read).
    void limitSize(qint64 size) { size_ = std::min(size_, size); }
    // Reads up to `length` bytes at `offset`; returns how many were read (fewer only at the end).
    qint64 readAt(qint64 offset, unsigned char *buffer, qint64 length);
    // Serves `size` bytes held in memory (an archive entry read whole) as the file's bytes;
    // they must outlive this object.
    void openMemory(const unsigned char *data, qint64 size)
    {
        memory_ = data;
        size_ = size;
    }

private:
    qint64 readMemory(qint64 offset, unsigned char *buffer, qint64 length) const;

    struct Handle;
    std::unique_ptr<Handle> handle_;
    const unsigned char *memory_ = nullptr;
    qint64 size_ = -1;   // -1: not known yet
};

// The bytes of a file as the content search sees them: the chunk in memory, and anything
// else read on demand into a scratch buffer.
class ByteSource
{
public:
    explicit ByteSource(FileBytes &file) : file_(file) {}

    qint64 size() const { return file_.size(); }
    void setChunk(const unsigned char *data, qint64 offset, qint64 length)
    {
        chunk_ = data;
        chunkOffset_ = offset;
        chunkLength_ = length;
    }
    const unsigned char *chunkData() const { return chunk_; }
    qint64 chunkOffset() const { return chunkOffset_; }
    qint64 chunkEnd() const { return chunkOffset_ + chunkLength_; }
    bool inChunk(qint64 offset, qint64 length) const
    {
        return offset >= chunkOffset_ && offset + length <= chunkOffset_ + chunkLength_;
    }
    const unsigned char *at(qint64 offset) const { return chunk_ + (offset - chunkOffset_); }

    // Up to `length` bytes at `offset` (fewer at the end of the file); `got` says how many.
    const unsigned char *read(qint64 offset, qint64 length, qint64 *got);

private:
    FileBytes &file_;
    const unsigned char *chunk_ = nullptr;
    qint64 chunkOffset_ = 0;
    qint64 chunkLength_ = 0;
    std::vector<unsigned char> scratch_;
};
