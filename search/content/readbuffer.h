#pragma once

#include <cstring>
#include <memory>

// A search's buffer for file chunks: grown as needed, never shrunk, never cleared (clearing
// megabytes for every small file would cost more than reading them).
class ReadBuffer
{
public:
    unsigned char *data() { return data_.get(); }
    // Room for `size` bytes; the first `keep` bytes stay.
    void reserve(size_t size, size_t keep = 0)
    {
        if (size <= capacity_)
            return;
        std::unique_ptr<unsigned char[]> grown(new unsigned char[size]);
        if (keep && data_)
            std::memcpy(grown.get(), data_.get(), std::min(keep, capacity_));
        data_ = std::move(grown);
        capacity_ = size;
    }

private:
    std::unique_ptr<unsigned char[]> data_;
    size_t capacity_ = 0;
};
