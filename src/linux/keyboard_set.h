// The keyboards the Linux watcher holds open: every evdev device whose key
// capabilities include a modifier. Their key state is read on demand with
// EVIOCGKEY; the watcher subscribes to no events and never reads any.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

#include "evdev_keys.h"
#include "growing_array.h"

namespace evdev {

// What became of a node offered to the set.
enum class AddResult {
    taken,  // a keyboard, now watched
    passed,  // no keyboard, one already held, or gone again: nothing to do
    denied,  // the user may not open it
    later,  // a keyboard, or what may be one, held back by a passing shortage:
            // try it again later (and say so)
    retry,  // interrupted, or short of memory before it could be told to be a
            // keyboard: try it again later, quietly
};

// What a failed call on a node means for it; `error` is the call's errno.
AddResult resultOfFailure(int error);

class KeyboardSet {
public:
    KeyboardSet() = default;
    KeyboardSet(const KeyboardSet&) = delete;
    KeyboardSet& operator=(const KeyboardSet&) = delete;
    ~KeyboardSet();

    // Keeps the node `name` in `directory` if it is a keyboard that is not
    // held yet. Keyboards are told apart by their device number, not by the
    // node's name or inode: a node may be removed and made again. A device
    // held already is not opened again; nor is one known not to be a keyboard,
    // or one that sysfs shows is none. On denied, later and retry, errno
    // tells why.
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

    // A device found not to be a keyboard, by device number and the inode of
    // its node: devtmpfs makes a new node, with a new inode, for every new
    // device, so a number used again is not mistaken for the old device.
    // One entry per device number, so the list stays as short as the
    // numbers evdev hands out.
    struct OtherDevice {
        dev_t device;
        ino_t inode;
    };

    // True if a keyboard with this device number is held and still there.
    // One whose device has gone is dropped, so that a new device given its
    // number can be taken.
    bool isHeld(dev_t device);
    bool isKnownOther(const struct stat& node);
    void rememberOther(const struct stat& node);

    // Opens a node that may be a keyboard and takes it if it is one.
    AddResult openIfKeyboard(const char* path);

    // Reads one keyboard into its `keys`; false once its device is gone.
    static bool refresh(Keyboard& keyboard);
    void drop(std::size_t index);

    GrowingArray<Keyboard> keyboards_;
    GrowingArray<OtherDevice> others_;
};

}  // namespace evdev
