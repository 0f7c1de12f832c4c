// One evdev device, asked of the kernel: what kind of device a node is (from
// sysfs, without opening it, where the system has sysfs), opening a node for
// the watcher, and reading its keys. Opening and closing cost more than they
// seem: closing an evdev descriptor waits for an RCU grace period, tens of
// milliseconds on a busy or emulated machine, so a node is opened only when
// it may be a keyboard.
#pragma once

#include <linux/input.h>
#include <sys/types.h>

#include "evdev_keys.h"

namespace evdev {

// The only ioctl requests the watcher makes, on evdev nodes alone: the
// system call filter allows these and no other.
inline constexpr unsigned long keyCapabilitiesRequest = EVIOCGBIT(EV_KEY, sizeof(KeyBitmap));
inline constexpr unsigned long eventMaskRequest = EVIOCSMASK;
inline constexpr unsigned long keyStateRequest = EVIOCGKEY(sizeof(KeyBitmap));

enum class DeviceKind {
    keyboard,  // has at least one of the eight modifiers
    other,  // a mouse, a switch, a button: anything else
    unknown,  // could not be told: errno says why where a call failed
    notYet,  // could not be asked for a passing shortage (errno says which)
};

// What sysfs says of the input device behind this character device number,
// without opening it: keyboard, other, unknown where sysfs is absent (a
// container without /sys) or has no input device for it, or notYet where
// memory, or descriptors beyond the spare one, ran short.
DeviceKind kindFromSysfs(dev_t device);

// Sets one descriptor aside, so that sysfs can still be read when the others
// are used up: a keyboard held back then is told from a mouse, and only
// keyboards are named as refused. Called once at start-up; kindFromSysfs
// sets it aside again after using it.
void reserveSpareDescriptor();

// Opens a node read-only (the watcher never injects events), non-blocking and
// close-on-exec, above the standard streams. Returns -1 with errno set.
int openNode(const char* path);

// Asks an open device for its key capabilities.
DeviceKind kindOfOpenDevice(int fd);

// Masks every event type for this descriptor, so the kernel queues nothing
// for a reader that never reads.
void maskAllEvents(int fd);

// The device's current key bitmap; false with errno set if it cannot be had.
bool readKeyState(int fd, KeyBitmap& state);

}  // namespace evdev
