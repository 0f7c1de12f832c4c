// The watcher's own descriptors never take 0, 1 or 2, not even for a moment:
// started with one of those closed, a keyboard, a sysfs file, the input
// directory or the hot-plug watch would otherwise become its standard output,
// and change lines would go there. Every descriptor the Linux watcher makes
// comes from here.
#pragma once

#include <dirent.h>

namespace evdev {

// Returns `fd` if it is above 2; otherwise a close-on-exec copy above 2, with
// `fd` closed. Returns -1 with errno set if no copy can be made (`fd` is
// closed then too).
int aboveStandardStreams(int fd);

// open(2) with O_CLOEXEC, the descriptor above the standard streams.
int openAbove(const char* path, int flags);

// opendir(3) on a descriptor above the standard streams; nullptr with errno
// set on failure.
DIR* openDirectory(const char* path);

}  // namespace evdev
