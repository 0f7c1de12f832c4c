// Nodes that hot-plug news named, offered to the keyboard set one per pass.
// The first look at a node just made (its sysfs capabilities, or the node
// itself) can wait in the kernel while the next device is being registered;
// one such wait per pass keeps the loop's pace however many devices arrive
// at once, and a burst of them is taken in as many passes. Fixed room and no
// allocation: a name that finds no room is left to a reading of the whole
// directory at the next check.
#pragma once

#include <cstddef>

namespace evdev {

class NewNodes {
public:
    static constexpr std::size_t capacity = 128;
    static constexpr std::size_t nameSize = 32;

    // Queues `name` unless it is queued already; false if there is no room
    // for it (or it is too long to keep).
    bool add(const char* name);

    // Takes the oldest name into `name`; false if none is queued.
    bool take(char (&name)[nameSize]);

    std::size_t size() const { return count_; }

private:
    char names_[capacity][nameSize];
    std::size_t first_ = 0;
    std::size_t count_ = 0;
};

}  // namespace evdev
