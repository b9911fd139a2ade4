#pragma once

#include "content/bytecategory.h"

#include <vector>

// A run of byte classes: byte i of an occurrence belongs to classes[i].
class BytePattern
{
public:
    BytePattern() = default;
    explicit BytePattern(std::vector<ByteSet> classes);

    size_t length() const { return classes_.size(); }
    bool isEmpty() const { return classes_.empty(); }
    const std::vector<ByteSet> &classes() const { return classes_; }
    bool matchesAt(const unsigned char *data) const;
    // Whether an occurrence can exist in data made of `possible` bytes only.
    bool canOccurIn(const ByteSet &possible) const;
    bool operator==(const BytePattern &other) const { return classes_ == other.classes_; }

    // Appends to `out` every start p in [from, to) of an occurrence that lies inside
    // [data, data + size) (p + length() <= size). Starts are offsets into `data`.
    void findAll(const unsigned char *data, size_t size, size_t from, size_t to, std::vector<size_t> &out) const;

private:
    struct Probe
    {
        enum Kind { None, Values, HighBit } kind = None;
        size_t offset = 0;
        unsigned char values[4] = {};
        int valueCount = 0;
    };
    Probe makeProbe(size_t offset) const;

    std::vector<ByteSet> classes_;
    bool impossible_ = false;   // a class is empty
    Probe first_;
    Probe second_;
};
