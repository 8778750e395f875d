#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace vellicord {

// A sequence whose elements stay where they are as it grows: it is kept in blocks of a few
// thousand, so that appending to a large one costs a new block at most, never a copy of all it
// holds (a vector of 100,000 search entries grown by one moved all of them, tens of milliseconds
// at once).
template<typename T, size_t BlockSize = 4096> class BlockVector {
public:
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    T& operator[](size_t index) { return blocks_[index / BlockSize][index % BlockSize]; }
    const T& operator[](size_t index) const { return blocks_[index / BlockSize][index % BlockSize]; }
    T& back() { return (*this)[size_ - 1]; }

    // Appends an element made with its default constructor (numbers as zero) and returns it.
    T& emplace_back()
    {
        if (size_ == blocks_.size() * BlockSize)
            blocks_.push_back(std::make_unique<T[]>(BlockSize));
        return (*this)[size_++];
    }
    void push_back(T value) { emplace_back() = std::move(value); }
    // The last element's place is kept for the next append; what it held is let go of now.
    void pop_back()
    {
        back() = T();
        --size_;
    }

private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    size_t size_ = 0;
};

} // namespace vellicord
