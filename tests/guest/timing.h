// Timing measurements shared by the system tests and the benchmark.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "virtual_keyboard.h"
#include "watcher_process.h"

namespace guest {

struct Spread {
    std::size_t samples;
    double mean, p50, p99, max;
};

Spread spreadOf(std::vector<double> values);

// Milliseconds from writing a key event to reading its line on the pipe, for
// `changes` alternating presses and releases of `key` (reported as `name`),
// each sent after a random pause of up to `maxPauseUs`.
std::vector<double> changeLatencies(WatcherProcess& watcher, VirtualKeyboard& keyboard, int key,
                                    const std::string& name, int changes, int maxPauseUs);

// How long a bare usleep(12000) takes on this machine, in milliseconds: under
// emulation the guest's timer alone can overshoot by milliseconds.
std::vector<double> bareSleeps(int samples);

struct Gaps {
    double watcherMs;  // the longest time between two change lines
    double sleeperMs;  // the longest a bare usleep(12000) took meanwhile
    int lines;
};

// While `during` runs in a thread of its own, answers every change line of
// `key` (reported as `name`) with the opposite change, so that every pass of
// the watcher writes a line, and measures the longest gap between two lines;
// beside it, in a third thread, the longest that a bare 12 ms sleep takes in
// the same window. The key ends up.
Gaps longestGaps(WatcherProcess& watcher, VirtualKeyboard& keyboard, int key,
                 const std::string& name, const std::function<void()>& during);

// Milliseconds from starting the watcher to its banner on stderr.
double startUpMs(const WatcherOptions& options = WatcherOptions());

}  // namespace guest
