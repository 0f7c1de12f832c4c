#include "timing.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <exception>
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

Gaps longestGaps(WatcherProcess& watcher, VirtualKeyboard& keyboard, int key,
                 const std::string& name, const std::function<void()>& during)
{
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    double sleeperMs = 0;
    std::thread sleeper([&] {
        while (!done) {
            const auto start = Clock::now();
            usleep(12000);
            sleeperMs = std::max(sleeperMs, millisecondsBetween(start, Clock::now()));
        }
    });
    std::thread worker([&] {
        // At the lowest priority, so that its own work in the kernel delays
        // neither the watcher nor the reading of its lines.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
        try {
            during();
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
    });
    // Both threads end once `during` has, whatever happens here.
    struct Joiner {
        std::thread& worker;
        std::thread& sleeper;
        std::atomic<bool>& done;
        ~Joiner()
        {
            worker.join();
            done = true;
            sleeper.join();
        }
    };
    bool down = false;
    Gaps gaps{0, 0, 0};
    {
        Joiner joiner{worker, sleeper, done};
        keyboard.press(key);
        down = true;
        Line last = expectLine(watcher, "D " + name);
        while (!done) {
            keyboard.send({{key, down ? 0 : 1}});
            down = !down;
            const Line line = expectLine(watcher, (down ? "D " : "U ") + name, Milliseconds(5000));
            gaps.watcherMs = std::max(gaps.watcherMs, millisecondsBetween(last.read, line.read));
            last = line;
            ++gaps.lines;
        }
    }
    if (failure)
        std::rethrow_exception(failure);
    if (down) {
        keyboard.release(key);
        expectLine(watcher, "U " + name);
    }
    gaps.sleeperMs = sleeperMs;
    return gaps;
}

double startUpMs(const WatcherOptions& options)
{
    const auto start = Clock::now();
    WatcherProcess watcher(options);
    waitUntilStarted(watcher);
    return millisecondsBetween(start, Clock::now());
}

}  // namespace guest
