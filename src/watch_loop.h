// The polling loop and the change lines it writes.
#pragma once

#include <atomic>
#include <cstdio>

#include "watched_keys.h"

// True from start-up until a stop signal; cleared from signal handlers.
extern std::atomic<bool> shouldRun;

inline constexpr unsigned pauseMicroseconds = 12000;

// One pass over the table in order: writes and flushes a change line for every
// key whose state differs from its lastState, then records the new state.
// Returns false if `out` failed; the rest of the pass is not made then.
bool watchPass(WatchedKeyTable& keys, std::FILE* out);

// Passes with a pause after each until shouldRun is false (true), or until
// writing to `out` fails (false; errno tells why).
bool watchLoop(WatchedKeyTable& keys, std::FILE* out);
