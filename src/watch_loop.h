// The polling loop and the change lines it writes.
#pragma once

#include <atomic>

#include "output.h"
#include "watched_keys.h"

// True from start-up until a stop request; cleared from the stop handlers.
extern std::atomic<bool> shouldRun;

// One pass over the table in order: writes a change line for every key whose
// state differs from its lastState, each line whole in one go, then records
// the new state. Returns 0, or the error code of a write that failed; the
// pass ends there and that key keeps the state last reported for it.
int watchPass(WatchedKeyTable& keys, OutputHandle out);

// Passes with a pause after each until shouldRun is false (returns 0), or
// until a write fails (returns its error code).
int watchLoop(WatchedKeyTable& keys, OutputHandle out);
