// The polling loop and the change lines it writes.
#pragma once

#include <atomic>

#include "watched_keys.h"

// True from start-up until a stop signal; cleared from signal handlers.
extern std::atomic<bool> shouldRun;

inline constexpr unsigned pauseMicroseconds = 12000;

// One pass over the table in order: writes a change line for every key whose
// state differs from its lastState, each line whole in one go, then records
// the new state. Returns 0, or the errno of a write that failed; the pass
// ends there and that key keeps the state last reported for it.
int watchPass(WatchedKeyTable& keys, int outFd);

// Passes with a pause after each until shouldRun is false (returns 0), or
// until a write fails (returns its errno).
int watchLoop(WatchedKeyTable& keys, int outFd);
