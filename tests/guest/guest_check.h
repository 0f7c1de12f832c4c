// Small checks shared by the programs that run inside the test guest.
#pragma once

#include <linux/input-event-codes.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "watcher_process.h"

namespace guest {

// A check that did not hold; the case reports its text.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A case that cannot run in this guest; it says why.
struct Skipped : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline void check(bool condition, const std::string& why)
{
    if (!condition)
        throw Failure(why);
}

// Waits for the banner; fails with what the watcher said if it does not come.
void waitUntilStarted(WatcherProcess& watcher);

// The next line on stdout must be `expected`; returns it with its time.
Line expectLine(WatcherProcess& watcher, const std::string& expected,
                Milliseconds timeout = Milliseconds(1000));

// Nothing may be written on stdout for this long.
void expectQuiet(WatcherProcess& watcher, Milliseconds duration);

// Everything on stderr so far must be `expected`.
void expectErrorText(WatcherProcess& watcher, const std::string& expected);

// The watcher must end with this status ("exit 0", …) within the timeout.
void expectEnd(WatcherProcess& watcher, const std::string& expected,
               Milliseconds timeout = Milliseconds(2000));

// Waits until the watcher catches this signal: its handler is in place, so
// the signal now asks for a stop rather than ending the process.
void expectCatching(WatcherProcess& watcher, int signalNumber,
                    Milliseconds timeout = Milliseconds(3000));

// A bound on timing, tried up to three times. The guest's host stalls now and
// then, and one stall must not decide, while a watcher that is truly slow
// misses every try. `attempt` measures, prints its figures and returns why it
// missed, or "" within its bound; the last try's reason is the failure.
void checkTimed(const std::function<std::string()>& attempt);

// Stops the watcher with SIGSTOP until resume(): changes made meanwhile all
// fall between two of its samples.
void suspend(WatcherProcess& watcher);
void resume(WatcherProcess& watcher);

}  // namespace guest
