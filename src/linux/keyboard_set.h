// The keyboards the Linux watcher holds open: every evdev device whose key
// capabilities include a modifier. Their key state is read on demand with
// EVIOCGKEY; the watcher subscribes to no events and never reads any.
#pragma once

#include <sys/types.h>

#include <cstddef>

#include "evdev_keys.h"
#include "growing_array.h"

namespace evdev {

class KeyboardSet {
public:
    // What became of a node offered to the set.
    enum class AddResult {
        taken,  // a keyboard, now watched
        passed,  // no keyboard, one already held, or gone again: nothing to do
        denied,  // the user may not open it
        noDescriptor,  // out of descriptors (or memory) for it: try later
    };

    KeyboardSet() = default;
    KeyboardSet(const KeyboardSet&) = delete;
    KeyboardSet& operator=(const KeyboardSet&) = delete;
    ~KeyboardSet();

    // Opens the node `name` in `directory` and keeps it if it is a keyboard
    // that is not held yet. Devices are told apart by their device number,
    // not by the node's name or inode: a node may be removed and made again.
    // A device held already is not opened at all. On denied and
    // noDescriptor, errno tells why.
    AddResult add(const char* directory, const char* name);

    // The key state of all keyboards together: a key is down when it is down
    // on any of them. A keyboard whose device is gone (ENODEV, once unplugged
    // or revoked) is closed and dropped, so its keys count as up; one that
    // fails otherwise is kept and counts as in its last good reading.
    // Allocates nothing.
    void readKeys(KeyBitmap& keys);

    std::size_t size() const { return keyboards_.size(); }

private:
    struct Keyboard {
        int fd;
        dev_t device;
        KeyBitmap keys;  // the last good reading
    };

    // True if a keyboard with this device number is held and still there.
    // One whose device has gone is dropped, so that a new device given its
    // number can be taken.
    bool isHeld(dev_t device);

    // Reads one keyboard into its `keys`; false once its device is gone.
    static bool refresh(Keyboard& keyboard);
    void drop(std::size_t index);

    GrowingArray<Keyboard> keyboards_;
};

}  // namespace evdev
