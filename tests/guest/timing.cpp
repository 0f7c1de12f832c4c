#include "timing.h"

#include <unistd.h>

#include <algorithm>
#include <random>
#include <thread>

#include "guest_check.h"

namespace guest {

namespace {

double millisecondsBetween(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

}  // namespace

Spread spreadOf(std::vector<double> values)
{
    check(!values.empty(), "no samples");
    std::sort(values.begin(), values.end());
    double sum = 0;
    for (double value : values)
        sum += value;
    const auto at = [&](double fraction) {
        return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
    };
    return {values.size(), sum / static_cast<double>(values.size()), at(0.5), at(0.99),
            values.back()};
}

std::vector<double> changeLatencies(WatcherProcess& watcher, VirtualKeyboard& keyboard, int key,
                                    const std::string& name, int changes, int maxPauseUs)
{
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> pause(0, maxPauseUs);
    std::vector<double> latencies;
    for (int i = 0; i < changes; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        const bool down = i % 2 == 0;
        const auto sent = Clock::now();
        keyboard.send({{key, down ? 1 : 0}});
        const Line line = expectLine(watcher, (down ? "D " : "U ") + name);
        latencies.push_back(millisecondsBetween(sent, line.read));
    }
    return latencies;
}

std::vector<double> bareSleeps(int samples)
{
    std::vector<double> slept;
    for (int i = 0; i < samples; ++i) {
        const auto start = Clock::now();
        usleep(12000);
        slept.push_back(millisecondsBetween(start, Clock::now()));
    }
    return slept;
}

}  // namespace guest
