// Timing measurements shared by the system tests and the benchmark.
#pragma once

#include <cstddef>
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

}  // namespace guest
