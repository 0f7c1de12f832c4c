// The benchmark, run inside the QEMU guest: the watcher's idle CPU against the
// floor program with 1, 3, 16 and 64 keyboards, its latency from kernel event
// to line on the pipe, its peak memory, its passes and start-up among other
// input devices, and its system calls per idle pass. Prints Markdown tables.
// Usage: guest_bench WINDOW-SECONDS PRESSES [SECTION,...]
//   sections: cpu, latency, memory, devices, syscalls (all by default)
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "guest_check.h"
#include "timing.h"
#include "virtual_keyboard.h"
#include "watcher_process.h"

using namespace guest;

namespace {

WatcherOptions floorProgram()
{
    WatcherOptions options;
    options.program = "/bin/floor";
    return options;
}

// The program shipped, not the tests' build.
WatcherOptions watcherProgram()
{
    WatcherOptions options;
    options.program = "/bin/orvel-keywatcher";
    return options;
}

// CPU time the scheduler has charged to a process, in nanoseconds.
long long cpuNanoseconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/schedstat");
    long long onCpu = -1;
    stat >> onCpu;
    check(onCpu >= 0, "cannot read the schedstat of " + std::to_string(pid));
    return onCpu;
}

void idleCpu(int keyboards, int windowSeconds)
{
    const Devices attached = plugIn(keyboards, "keyboard");
    WatcherProcess watcher(watcherProgram());
    WatcherProcess floor(floorProgram());
    waitUntilStarted(watcher);
    std::this_thread::sleep_for(Milliseconds(1000));  // past start-up
    const long long watcherStart = cpuNanoseconds(watcher.pid());
    const long long floorStart = cpuNanoseconds(floor.pid());
    std::this_thread::sleep_for(std::chrono::seconds(windowSeconds));
    const double watcherMs =
        static_cast<double>(cpuNanoseconds(watcher.pid()) - watcherStart) / 1e6;
    const double floorMs = static_cast<double>(cpuNanoseconds(floor.pid()) - floorStart) / 1e6;
    std::printf("| %d | %d s | %.1f ms (%.3f %%) | %.1f ms (%.3f %%) | %.2f |\n", keyboards,
                windowSeconds, watcherMs, watcherMs / (windowSeconds * 10.0), floorMs,
                floorMs / (windowSeconds * 10.0), watcherMs / floorMs);
}

void printSpread(const char* what, const Spread& spread)
{
    std::printf("| %s | %zu | %.2f ms | %.2f ms | %.2f ms | %.2f ms |\n", what, spread.samples,
                spread.mean, spread.p50, spread.p99, spread.max);
}

// Latency at random moments, and beside it what the guest's own timer gives a
// bare 12 ms sleep: the part of any latency that no 12 ms poller can avoid here.
void latency(int changes)
{
    VirtualKeyboard keyboard;
    WatcherProcess watcher(watcherProgram());
    waitUntilStarted(watcher);
    printSpread("watcher: event to line", spreadOf(changeLatencies(watcher, keyboard, KEY_LEFTMETA,
                                                                   "cmd_left", changes, 25000)));
    printSpread("usleep(12000) alone", spreadOf(bareSleeps(changes)));
}

// Peak resident memory of one run of each, both started together and stopped
// after the watcher has written a line.
std::pair<long, long> peakMemoryOnce(VirtualKeyboard& keyboard)
{
    WatcherProcess watcher(watcherProgram());
    WatcherProcess floor(floorProgram());
    waitUntilStarted(watcher);
    keyboard.press(KEY_RIGHTSHIFT);  // a line written: the output buffer in use
    expectLine(watcher, "D shift");
    keyboard.release(KEY_RIGHTSHIFT);
    expectLine(watcher, "U shift");
    watcher.signal(SIGTERM);
    floor.signal(SIGTERM);
    check(watcher.waitForExit().has_value() && floor.waitForExit().has_value(),
          "a program did not end");
    return {watcher.peakMemoryKib(), floor.peakMemoryKib()};
}

// The kernel maps a program's file pages 64 KiB at a time around each page
// touched, and where those windows fall moves with the random load address:
// so the median of several runs.
void peakMemory(int runs)
{
    VirtualKeyboard keyboard;
    std::vector<long> watcher, floor;
    for (int i = 0; i < runs; ++i) {
        const auto [watcherKib, floorKib] = peakMemoryOnce(keyboard);
        watcher.push_back(watcherKib);
        floor.push_back(floorKib);
    }
    std::sort(watcher.begin(), watcher.end());
    std::sort(floor.begin(), floor.end());
    const long watcherMedian = watcher[watcher.size() / 2];
    const long floorMedian = floor[floor.size() / 2];
    std::printf("| %d | %ld KiB (%ld to %ld) | %ld KiB (%ld to %ld) | %.2f |\n", runs,
                watcherMedian, watcher.front(), watcher.back(), floorMedian, floor.front(),
                floor.back(),
                static_cast<double>(watcherMedian) / static_cast<double>(floorMedian));
}

// strace -c on a running process for a few seconds: calls per system call.
std::map<std::string, long> systemCalls(pid_t pid, int seconds)
{
    const std::string report = "/tmp/strace-" + std::to_string(pid);
    const pid_t tracer = fork();
    if (tracer == 0) {
        const std::string target = std::to_string(pid);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 2);  // its attach and detach notes
        execl("/bin/strace", "strace", "-c", "-o", report.c_str(), "-p", target.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    kill(tracer, SIGINT);
    waitpid(tracer, nullptr, 0);
    std::map<std::string, long> calls;
    std::ifstream lines(report);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string word; fields >> word;)
            words.push_back(word);
        if (words.size() >= 5 && words.back() != "total" && std::isdigit(words[3][0]))
            calls[words.back()] = std::stol(words[3]);
    }
    return calls;
}

void printSystemCalls(const char* who, const std::map<std::string, long>& calls)
{
    const auto sleeps = calls.find("clock_nanosleep");
    check(sleeps != calls.end() && sleeps->second > 0, std::string(who) + " made no sleep");
    std::string perPass;
    for (const auto& [name, count] : calls) {
        char text[64];
        std::snprintf(text, sizeof text, "%s%s %.3f", perPass.empty() ? "" : ", ", name.c_str(),
                      static_cast<double>(count) / static_cast<double>(sleeps->second));
        perPass += text;
    }
    std::printf("| %s | %ld | %s |\n", who, sleeps->second, perPass.c_str());
}

void idleSystemCalls(int keyboards, int seconds)
{
    const Devices attached = plugIn(keyboards, "keyboard");
    WatcherProcess watcher(watcherProgram());
    WatcherProcess floor(floorProgram());
    waitUntilStarted(watcher);
    const std::string label = "watcher, " + std::to_string(keyboards) + " keyboards";
    printSystemCalls(label.c_str(), systemCalls(watcher.pid(), seconds));
    printSystemCalls("floor", systemCalls(floor.pid(), seconds));
}

// The longest wait between two passes while other devices are plugged in and
// re-permissioned, against what a bare 12 ms sleeper sees meanwhile; and the
// start-up with 40 other devices present, against the same with none.
void otherDevices(int runs)
{
    {
        VirtualKeyboard keyboard;
        WatcherProcess watcher(watcherProgram());
        waitUntilStarted(watcher);
        Devices mice;
        const Gaps gaps = longestGaps(watcher, keyboard, KEY_LEFTSHIFT, "shift", [&] {
            mice = plugIn(10, "mouse", DeviceKind::mouse);
            repermission(mice, 4);
            std::this_thread::sleep_for(Milliseconds(1000));
        });
        std::printf("| longest gap between passes, 10 mice plugged in and re-permissioned 4 times "
                    "| %.1f ms | %.1f ms (bare 12 ms sleep) | %.2f |\n",
                    gaps.watcherMs, gaps.sleeperMs, gaps.watcherMs / gaps.sleeperMs);
    }
    const auto medianStartUp = [runs] {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i)
            times.push_back(startUpMs(watcherProgram()));
        return spreadOf(times).p50;
    };
    const double alone = medianStartUp();
    const Devices mice = plugIn(40, "mouse", DeviceKind::mouse);
    const double among = medianStartUp();
    std::printf("| start-up to banner, median of %d | %.1f ms (40 mice) | %.1f ms (none) | %.2f |\n",
                runs, among, alone, among / alone);
}

}  // namespace

int main(int argc, char** argv)
{
    const int window = argc > 1 ? std::atoi(argv[1]) : 5;
    const int presses = argc > 2 ? std::atoi(argv[2]) : 250;
    const std::string sections = argc > 3 ? argv[3] : "cpu,latency,memory,devices,syscalls";
    const auto wanted = [&](const char* section) {
        return sections.find(section) != std::string::npos;
    };
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    try {
        if (wanted("cpu")) {
            std::printf("\nIdle CPU over the same window, watcher and floor side by side:\n\n");
            std::printf("| keyboards | window | watcher | floor | watcher / floor |\n");
            std::printf("|---|---|---|---|---|\n");
            for (int keyboards : {1, 3, 16, 64})
                idleCpu(keyboards, window);
        }
        if (wanted("latency")) {
            std::printf("\nLatency, kernel event to line read on the pipe, at random moments:\n\n");
            std::printf(
                "| measured | samples | mean | p50 | p99 | max |\n|---|---|---|---|---|---|\n");
            latency(2 * presses);
        }
        if (wanted("memory")) {
            std::printf("\nPeak memory (ru_maxrss), median of the runs, with their range:\n\n");
            std::printf("| runs | watcher | floor | watcher / floor |\n|---|---|---|---|\n");
            peakMemory(9);
        }
        if (wanted("devices")) {
            std::printf("\nOther input devices (mice), watcher against its floor in the same boot:\n\n");
            std::printf("| measured | watcher | floor | watcher / floor |\n|---|---|---|---|\n");
            otherDevices(9);
        }
        if (wanted("syscalls")) {
            std::printf(
                "\nSystem calls while idle, per pass (per clock_nanosleep), strace -c:\n\n");
            std::printf("| program | passes | calls per pass |\n|---|---|---|\n");
            idleSystemCalls(3, 4);
        }
        std::printf("\nbench: done\n");
        return 0;
    } catch (const std::exception& error) {
        std::printf("bench: failed: %s\n", error.what());
        return 1;
    }
}
