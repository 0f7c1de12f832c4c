// The watcher's own descriptors never take 0, 1 or 2: started with one of
// those closed, a keyboard or the hot-plug watch would otherwise become its
// standard output, and change lines would go there.
#pragma once

namespace evdev {

// Returns `fd` if it is above 2; otherwise a close-on-exec copy above 2, with
// `fd` closed. Returns -1 with errno set if no copy can be made (`fd` is
// closed then too).
int aboveStandardStreams(int fd);

}  // namespace evdev
