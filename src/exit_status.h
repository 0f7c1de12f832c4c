// The watcher's exit statuses, the same on every platform.
#pragma once

inline constexpr int exitStopped = 0;  // the orderly stop
inline constexpr int exitFailure = 1;  // cannot go on; a message says why
// Windows, where the reader of standard output has gone: the status a POSIX
// shell gives a process that SIGPIPE killed (128 + 13), which is what ends
// the watcher there.
inline constexpr int exitReaderGone = 141;
