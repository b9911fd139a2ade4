#pragma once

#include <algorithm>
#include <cstring>
#include <memory>

// A search's buffer for file chunks: grown as needed, never shrunk, never cleared (clearing
// megabytes for every small file would cost more than reading them). It grows at least twofold,
// so that files of rising sizes do not each allocate, and fault in, a slightly larger buffer.
class ReadBuffer
{
public:
    static constexpr size_t minimumCapacity = 64 * 1024;

    unsigned char *data() { return data_.get(); }
    // Room for `size` bytes; the first `keep` bytes stay.
    void reserve(size_t size, size_t keep = 0)
    {
        if (size <= capacity_)
            return;
        size = std::max({size, 2 * capacity_, minimumCapacity});
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
