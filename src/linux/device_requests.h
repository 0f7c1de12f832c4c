// The only ioctl requests the Linux watcher makes, in one place: the evdev
// calls use them, and the system call filter refuses every other request
// (grabbing a keyboard or changing its key map are ioctls too).
#pragma once

#include <linux/input.h>

#include "evdev_keys.h"

namespace evdev {

inline constexpr unsigned long keyCapabilitiesRequest = EVIOCGBIT(EV_KEY, sizeof(KeyBitmap));
inline constexpr unsigned long keyStateRequest = EVIOCGKEY(sizeof(KeyBitmap));
inline constexpr unsigned long eventMaskRequest = EVIOCSMASK;

inline constexpr unsigned long deviceRequests[] = {keyCapabilitiesRequest, keyStateRequest,
                                                   eventMaskRequest};

}  // namespace evdev
