#include "guest_check.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <thread>

namespace guest {

namespace {

std::string shown(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return "\"" + out + "\"";
}

char processState(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto end = text.rfind(')');
    return end == std::string::npos || end + 2 >= text.size() ? '?' : text[end + 2];
}

// The signals a process catches, from the SigCgt line of its status.
unsigned long long caughtSignals(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return std::stoull(line.substr(7), nullptr, 16);
    return 0;
}

// Looks every millisecond until `holds`; fails with `why` after the timeout.
void waitUntil(const std::function<bool()>& holds, Milliseconds timeout, const std::string& why)
{
    const auto deadline = Clock::now() + timeout;
    while (!holds()) {
        check(Clock::now() < deadline, why);
        std::this_thread::sleep_for(Milliseconds(1));
    }
}

}  // namespace

void waitUntilStarted(WatcherProcess& watcher)
{
    if (watcher.waitForBanner())
        return;
    std::string why = "no banner; stderr " + shown(watcher.errorText());
    if (const auto status = watcher.waitForExit(Milliseconds(0)))
        why += ", " + describeStatus(*status);
    throw Failure(why);
}

Line expectLine(WatcherProcess& watcher, const std::string& expected, Milliseconds timeout)
{
    const auto line = watcher.readLine(timeout);
    check(line.has_value(), "expected " + shown(expected) + ", got no line within " +
                                std::to_string(timeout.count()) + " ms");
    check(line->text == expected, "expected " + shown(expected) + ", got " + shown(line->text));
    return *line;
}

void expectQuiet(WatcherProcess& watcher, Milliseconds duration)
{
    const std::string written = watcher.readFor(duration);
    check(written.empty(), "expected nothing on stdout, got " + shown(written));
}

void expectErrorText(WatcherProcess& watcher, const std::string& expected)
{
    const std::string& written = watcher.errorText();
    check(written == expected, "expected " + shown(expected) + " on stderr, got " + shown(written));
}

void expectEnd(WatcherProcess& watcher, const std::string& expected, Milliseconds timeout)
{
    const auto status = watcher.waitForExit(timeout);
    check(status.has_value(),
          "still running " + std::to_string(timeout.count()) + " ms later, expected " + expected);
    check(describeStatus(*status) == expected,
          "ended with " + describeStatus(*status) + ", expected " + expected);
}

void expectCatching(WatcherProcess& watcher, int signalNumber, Milliseconds timeout)
{
    const unsigned long long bit = 1ULL << (signalNumber - 1);
    waitUntil([&] { return (caughtSignals(watcher.pid()) & bit) != 0; }, timeout,
              "the watcher did not catch signal " + std::to_string(signalNumber) + " within " +
                  std::to_string(timeout.count()) + " ms");
}

void checkTimed(const std::function<std::string()>& attempt)
{
    constexpr int tries = 3;
    for (int at = 1;; ++at) {
        const std::string missed = attempt();
        if (missed.empty())
            return;
        check(at < tries, missed);
        std::printf("timing: try %d of %d missed (%s); once more\n", at, tries, missed.c_str());
    }
}

void suspend(WatcherProcess& watcher)
{
    watcher.signal(SIGSTOP);
    waitUntil([&] { return processState(watcher.pid()) == 'T'; }, Milliseconds(2000),
              "the watcher did not stop on SIGSTOP");
}

void resume(WatcherProcess& watcher)
{
    watcher.signal(SIGCONT);
}

}  // namespace guest
