// The keyboards the Linux watcher holds open: every evdev node whose key
// capabilities include a modifier. Their key state is read on demand with
// EVIOCGKEY; the watcher subscribes to no events and never reads any.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstddef>

#include "evdev_keys.h"

namespace evdev {

class KeyboardSet {
public:
    static constexpr std::size_t capacity = 64;

    enum class AddResult { added, alreadyHeld, notKeyboard, full, failed };

    KeyboardSet() = default;
    KeyboardSet(const KeyboardSet&) = delete;
    KeyboardSet& operator=(const KeyboardSet&) = delete;
    ~KeyboardSet();

    // Opens the node `name` in `directory` and keeps it if it is a keyboard.
    // A node of that name already held is kept if it is the same device and
    // replaced if not. On `failed`, errno tells why the node could not be opened.
    AddResult add(const char* directory, const char* name);

    // Closes the node `name` if it is held: its device has gone.
    void remove(const char* name);

    // The key state of all keyboards together: a key is down when it is down
    // on any of them. A keyboard that cannot be read any more (ENODEV once
    // unplugged) is closed and dropped, so its keys count as up.
    void readKeys(KeyBitmap& keys);

    std::size_t size() const { return count_; }

private:
    struct Keyboard {
        int fd;
        ino_t node;
        char name[24];
    };

    Keyboard* find(const char* name);
    void drop(Keyboard& keyboard);

    std::array<Keyboard, capacity> keyboards_{};
    std::size_t count_ = 0;
};

}  // namespace evdev
