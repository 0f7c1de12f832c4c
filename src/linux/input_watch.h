// The inotify watch on /dev/input, set once before the system call filter,
// which refuses inotify from then on: no folder but /dev/input can ever be
// watched through the watcher. Should that folder go (devtmpfs removes it
// with its last node) or the watch not be had, the directory is read at
// every hot-plug check instead.
#pragma once

#include <cstring>

#include "hotplug.h"

namespace evdev {

inline constexpr const char* inputDirectory = "/dev/input";

// The nodes of that folder that may be keyboards: event0, event1, ...
inline bool isEventNode(const char* name)
{
    return std::strncmp(name, "event", 5) == 0;
}

// Sets the watch; called once, by the confinement.
void startInputWatch();

HotplugWatch& inputWatch();

// 0, or why the watch could not be set at start.
int inputWatchError();

// Said by the confinement when root gave way to the keyboards' group: a
// node refused at start is then one udev has yet to give that group, and
// is taken once it has it (its change of group is hot-plug news), so the
// watcher starts and waits rather than fail.
void awaitNodesOfRootAlone();
bool nodesOfRootAloneAwaited();

}  // namespace evdev
