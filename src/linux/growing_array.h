// A growable array of plain records on malloc and realloc. The watcher grows
// its lists on hot-plug and never while polling; this keeps the C++ runtime's
// allocation and exception code out of a static binary that otherwise never
// needs it (and out of its resident memory).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <type_traits>

namespace evdev {

template <typename T> class GrowingArray {
    static_assert(std::is_trivially_copyable_v<T>, "records are moved with realloc");

public:
    GrowingArray() = default;
    GrowingArray(const GrowingArray&) = delete;
    GrowingArray& operator=(const GrowingArray&) = delete;
    ~GrowingArray() { std::free(items_); }

    std::size_t size() const { return size_; }
    T& operator[](std::size_t index) { return items_[index]; }
    T* begin() { return items_; }
    T* end() { return items_ + size_; }

    // Makes room for one more item; false if memory ran out.
    bool makeRoom()
    {
        if (size_ < capacity_)
            return true;
        const std::size_t capacity = capacity_ ? 2 * capacity_ : 8;
        void* grown = std::realloc(items_, capacity * sizeof(T));
        if (!grown)
            return false;
        items_ = static_cast<T*>(grown);
        capacity_ = capacity;
        return true;
    }

    // Appends a copy; false with nothing changed if memory ran out.
    bool push(const T& item)
    {
        if (!makeRoom())
            return false;
        items_[size_++] = item;
        return true;
    }

    // Removes one item; the last one takes its place.
    void removeAt(std::size_t index) { items_[index] = items_[--size_]; }

private:
    T* items_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace evdev
