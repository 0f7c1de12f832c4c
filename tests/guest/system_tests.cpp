// The watcher's system tests, run inside a QEMU guest on a real Linux kernel
// with virtual keyboards made through uinput. Prints "ok NAME" or
// "FAIL NAME: why" per case, then "N passed, M failed".
// Usage: system_tests [CASE | -CASE...]
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "confinement.h"
#include "guest_check.h"
#include "intruder.h"
#include "linux/evdev_device.h"
#include "timing.h"
#include "virtual_keyboard.h"
#include "watcher_process.h"

using namespace guest;

namespace {

// The C library's text for an error, and a line feed: the watcher's reason in
// its messages, whichever C library both were built with.
std::string reason(int error)
{
    return std::string(std::strerror(error)) + "\n";
}

// A few passes of the watcher: long enough for any change to have been seen.
const Milliseconds settle(80);

struct Modifier {
    int key;
    const char* name;
};

// The Linux keys behind the watched macOS keys, in the watcher's table order.
const Modifier modifiers[] = {
    {KEY_LEFTSHIFT, "shift"},   {KEY_LEFTCTRL, "ctrl"},       {KEY_LEFTALT, "alt"},
    {KEY_LEFTMETA, "cmd_left"}, {KEY_RIGHTSHIFT, "shift"},    {KEY_RIGHTCTRL, "ctrl"},
    {KEY_RIGHTALT, "alt"},      {KEY_RIGHTMETA, "cmd_right"},
};

void bannerOnStderrAndSilenceWhileIdle()
{
    VirtualKeyboard keyboard;
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    expectQuiet(watcher, Milliseconds(300));
    expectErrorText(watcher, banner);
}

void expectEveryKey(WatcherProcess& watcher, VirtualKeyboard& keyboard)
{
    for (const Modifier& modifier : modifiers) {
        keyboard.press(modifier.key);
        expectLine(watcher, std::string("D ") + modifier.name);
        keyboard.release(modifier.key);
        expectLine(watcher, std::string("U ") + modifier.name);
    }
}

void everyKeyGivesItsOwnName()
{
    VirtualKeyboard keyboard;
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    expectEveryKey(watcher, keyboard);
}

void keysOutsideTheTableGiveNothing()
{
    VirtualKeyboard keyboard;
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    for (int key : {KEY_CAPSLOCK, KEY_A, KEY_Z, KEY_F1, KEY_F12, KEY_SPACE, KEY_COMPOSE}) {
        keyboard.press(key);
        std::this_thread::sleep_for(Milliseconds(30));
        keyboard.release(key);
    }
    std::this_thread::sleep_for(settle);
    keyboard.press(KEY_RIGHTCTRL);  // the next line must be this one
    expectLine(watcher, "D ctrl");
}

void changesBetweenTwoSamplesComeOutInTableOrder()
{
    VirtualKeyboard keyboard;
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    suspend(watcher);
    keyboard.send({{KEY_RIGHTMETA, 1}, {KEY_RIGHTALT, 1}, {KEY_LEFTCTRL, 1}, {KEY_LEFTSHIFT, 1}});
    resume(watcher);
    for (const char* line : {"D shift", "D ctrl", "D alt", "D cmd_right"})
        expectLine(watcher, line);
    suspend(watcher);
    keyboard.send({{KEY_RIGHTMETA, 0}, {KEY_LEFTSHIFT, 0}, {KEY_LEFTMETA, 1}});
    resume(watcher);
    for (const char* line : {"U shift", "D cmd_left", "U cmd_right"})
        expectLine(watcher, line);
}

void bothShiftKeysAreReportedOneByOne()
{
    VirtualKeyboard keyboard;
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    keyboard.press(KEY_LEFTSHIFT);
    expectLine(watcher, "D shift");
    keyboard.press(KEY_RIGHTSHIFT);
    expectLine(watcher, "D shift");
    keyboard.release(KEY_LEFTSHIFT);
    expectLine(watcher, "U shift");
    keyboard.release(KEY_RIGHTSHIFT);
    expectLine(watcher, "U shift");
    expectQuiet(watcher, settle);
}

void pressAndReleaseBetweenSamplesGiveNothing()
{
    VirtualKeyboard keyboard;
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    suspend(watcher);
    keyboard.press(KEY_LEFTCTRL);
    keyboard.release(KEY_LEFTCTRL);
    resume(watcher);
    std::this_thread::sleep_for(settle);
    keyboard.press(KEY_LEFTALT);
    expectLine(watcher, "D alt");
}

void keyHeldAtStartIsReportedFirst()
{
    VirtualKeyboard keyboard;
    keyboard.press(KEY_LEFTMETA);
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    expectLine(watcher, "D cmd_left");
    keyboard.release(KEY_LEFTMETA);
    expectLine(watcher, "U cmd_left");
}

void keyHeldOnTwoKeyboardsStaysDownUntilBothLetGo()
{
    VirtualKeyboard first("first"), second("second");
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    first.press(KEY_LEFTSHIFT);
    expectLine(watcher, "D shift");
    second.press(KEY_LEFTSHIFT);
    std::this_thread::sleep_for(settle);
    first.release(KEY_LEFTSHIFT);
    std::this_thread::sleep_for(settle);
    first.press(KEY_LEFTCTRL);  // the next line must be this one
    expectLine(watcher, "D ctrl");
    second.release(KEY_LEFTSHIFT);
    expectLine(watcher, "U shift");
}

void keyboardsComeAndGoWhileWatching()
{
    VirtualKeyboard first("first");
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    {
        VirtualKeyboard plugged("plugged in later");
        plugged.press(KEY_RIGHTALT);
        expectLine(watcher, "D alt", Milliseconds(1000));
        plugged.unplug();  // with the key held
        expectLine(watcher, "U alt");
    }
    first.unplug();  // no keyboard left: the watcher waits for one
    std::this_thread::sleep_for(settle);
    check(watcher.running(), "the watcher ended when its last keyboard went away");
    VirtualKeyboard third("third");
    third.press(KEY_RIGHTMETA);
    expectLine(watcher, "D cmd_right", Milliseconds(1000));
}

void keyboardReadableOnlyLaterIsWatchedThen()
{
    VirtualKeyboard first("first");
    chmod(first.node().c_str(), 0644);
    WatcherOptions options;
    options.asUnprivilegedUser = true;
    WatcherProcess watcher(options);
    waitUntilStarted(watcher);
    VirtualKeyboard later("later");  // its node is root's alone
    later.press(KEY_RIGHTCTRL);
    expectQuiet(watcher, Milliseconds(600));
    chmod(later.node().c_str(), 0644);
    expectLine(watcher, "D ctrl", Milliseconds(1000));
    later.release(KEY_RIGHTCTRL);
    expectLine(watcher, "U ctrl");
}

// The watcher's own descriptors for the keyboards, duplicated into this
// process (pidfd_getfd shares the open file, and so the kernel's queue for it),
// with the open flags that /proc shows for them.
struct WatcherDescriptor {
    int fd;
    long flags;
};

std::vector<WatcherDescriptor> keyboardDescriptorsOf(pid_t pid)
{
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    check(pidfd >= 0, "pidfd_open failed");
    std::vector<WatcherDescriptor> found;
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    for (int fd = 0; fd < 256; ++fd) {
        char target[64] = {};
        const std::string link = folder + "/" + std::to_string(fd);
        if (readlink(link.c_str(), target, sizeof target - 1) < 0 ||
            std::string(target).rfind("/dev/input/event", 0) != 0)
            continue;
        std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" + std::to_string(fd));
        std::string field, flags;
        while (info >> field && field != "flags:")
            info.ignore(256, '\n');
        info >> flags;
        const int copy = static_cast<int>(syscall(SYS_pidfd_getfd, pidfd, fd, 0));
        check(copy >= 0, "pidfd_getfd failed");
        found.push_back({copy, std::stol(flags, nullptr, 8)});
    }
    close(pidfd);
    return found;
}

void keyboardsAreHeldReadOnlyAndQueueNothing()
{
    VirtualKeyboard first("first"), second("second");
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    for (VirtualKeyboard* keyboard : {&first, &second}) {
        keyboard->press(KEY_LEFTCTRL);
        expectLine(watcher, "D ctrl");
        keyboard->release(KEY_LEFTCTRL);
        expectLine(watcher, "U ctrl");
    }
    const auto descriptors = keyboardDescriptorsOf(watcher.pid());
    check(descriptors.size() == 2,
          "the watcher holds " + std::to_string(descriptors.size()) + " keyboards, not 2");
    for (const WatcherDescriptor& held : descriptors) {
        check((held.flags & O_ACCMODE) == O_RDONLY && (held.flags & O_NONBLOCK) &&
                  (held.flags & O_CLOEXEC),
              "a keyboard is open with flags 0" + std::to_string(held.flags));
        pollfd ready{held.fd, POLLIN, 0};
        check(poll(&ready, 1, 0) == 0, "the kernel queued events for the watcher");
        close(held.fd);
    }
}

// Also when the parent started the watcher with both signals blocked.
void stopSignalsEndTheWatcherQuietly()
{
    VirtualKeyboard keyboard;
    for (bool blocked : {false, true}) {
        for (int signalNumber : {SIGTERM, SIGINT}) {
            WatcherOptions options;
            options.blockStopSignals = blocked;
            WatcherProcess watcher(options);
            waitUntilStarted(watcher);
            watcher.signal(signalNumber);
            try {
                expectEnd(watcher, "exit 0", Milliseconds(500));
            } catch (const Failure& failure) {
                throw Failure(std::string(blocked ? "started with them blocked: " : "") +
                              failure.what());
            }
            expectQuiet(watcher, Milliseconds(0));
            expectErrorText(watcher, banner);
        }
    }
}

void heldKeysGiveNoReleaseAtStopAndASecondSignalChangesNothing()
{
    VirtualKeyboard keyboard;
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    keyboard.press(KEY_LEFTALT);
    expectLine(watcher, "D alt");
    watcher.signal(SIGINT);
    watcher.signal(SIGTERM);
    expectEnd(watcher, "exit 0", Milliseconds(500));
    expectQuiet(watcher, Milliseconds(0));
}

void readerGoneEndsTheWatcherByBrokenPipeAtTheNextChange()
{
    VirtualKeyboard keyboard;
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    watcher.closeOutput();
    std::this_thread::sleep_for(Milliseconds(300));
    check(watcher.running(), "the watcher ended before any key changed");
    keyboard.press(KEY_LEFTSHIFT);
    expectEnd(watcher, "killed by signal 13 (Broken pipe)", Milliseconds(1000));
}

// Output errors the watcher sees (SIGPIPE ignored by its parent, a full
// disk) end it with a message rather than polling on unheard.
void failedOutputIsReportedAndEndsTheWatcher()
{
    VirtualKeyboard keyboard;
    {
        WatcherOptions options;
        options.ignoreSigpipe = true;
        WatcherProcess watcher(options);
        waitUntilStarted(watcher);
        watcher.closeOutput();
        keyboard.press(KEY_LEFTSHIFT);
        expectEnd(watcher, "exit 1", Milliseconds(1000));
        expectErrorText(
            watcher, banner + "orvel-keywatcher: cannot write to standard output: " + reason(EPIPE));
        keyboard.release(KEY_LEFTSHIFT);
    }
    WatcherOptions options;
    options.stdoutPath = "/dev/full";
    WatcherProcess watcher(options);
    waitUntilStarted(watcher);
    keyboard.press(KEY_LEFTCTRL);
    expectEnd(watcher, "exit 1", Milliseconds(1000));
    expectErrorText(watcher, banner + "orvel-keywatcher: cannot write to standard output: No space "
                                      "left on device\n");
}

void userWithoutAccessGetsAClearError()
{
    VirtualKeyboard keyboard;
    WatcherOptions options;
    options.asUnprivilegedUser = true;
    WatcherProcess watcher(options);
    expectEnd(watcher, "exit 1");
    expectQuiet(watcher, Milliseconds(0));
    const std::string expected =
        "orvel-keywatcher: cannot read any keyboard in /dev/input: " + reason(EACCES) +
        "orvel-keywatcher: run it as root, add the user to the 'input' group and log in again, "
        "or make it setgid 'input' (see man orvel-keywatcher)\n";
    expectErrorText(watcher, expected);
}

// Kernel event to line on the pipe, for changes at random moments. A pass
// follows the pause at once, so 99 in 100 changes must come out within one
// pause as this machine's timer gives it (the 99th percentile of a bare 12 ms
// sleep here), plus a pass and a margin, and the mean must be about half a
// cycle of this machine's. A slower cycle, missed samples or late flushes
// break these. The
// maximum is printed but not bounded: under emulation a single sample, of a
// bare sleep as of a change, now and then stalls by 20 ms or more.
void latencyStaysWithinOneCycle()
{
    constexpr int changes = 300;
    VirtualKeyboard keyboard;
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    checkTimed([&] {
        const Spread sleep = spreadOf(bareSleeps(changes));
        const double meanBoundMs = std::max(sleep.mean, 12.0) / 2 + 4.0;
        const double p99BoundMs = std::max(sleep.p99, 12.0) + 3.0;
        const Spread latency =
            spreadOf(changeLatencies(watcher, keyboard, KEY_RIGHTSHIFT, "shift", changes, 13000));
        std::printf("latency: %zu changes, mean %.2f ms (bound %.1f), p99 %.2f ms (bound %.2f), "
                    "max %.2f ms; bare 12 ms sleep: p99 %.2f ms, max %.2f ms\n",
                    latency.samples, latency.mean, meanBoundMs, latency.p99, p99BoundMs,
                    latency.max, sleep.p99, sleep.max);
        if (latency.mean > meanBoundMs)
            return "mean latency " + std::to_string(latency.mean) + " ms";
        if (latency.p99 > p99BoundMs)
            return "99th percentile " + std::to_string(latency.p99) + " ms";
        return std::string();
    });
}

// The pause, seen from outside. Every line is answered at once with the
// opposite change, so every pass after the answer lands has a line to write:
// the lines can be no more than the passes that fit in the time, one per
// 12 ms at most, since a sleep never ends early. A shorter pause or none
// writes far more. And the first pass follows the banner at once: with a key
// held at start its line comes within half of the quickest bare 12 ms sleep
// measured beside it (the least of a few starts, so that one slow read
// cannot decide).
void pauseSpacesThePassesAndFollowsTheFirst()
{
    VirtualKeyboard keyboard;
    const Milliseconds window(1500);
    {
        WatcherProcess watcher;
        waitUntilStarted(watcher);
        keyboard.press(KEY_LEFTSHIFT);
        const Line first = expectLine(watcher, "D shift");
        Line last = first;
        int lines = 1;
        bool down = true;
        while (last.read - first.read < window) {
            keyboard.send({{KEY_LEFTSHIFT, down ? 0 : 1}});
            down = !down;
            last = expectLine(watcher, down ? "D shift" : "U shift");
            ++lines;
        }
        keyboard.release(KEY_LEFTSHIFT);
        const double spanMs =
            std::chrono::duration<double, std::milli>(last.read - first.read).count();
        // One more line than whole pauses in the span, and three for a first
        // line read late.
        const int bound = static_cast<int>(spanMs / 12.0) + 1 + 3;
        std::printf("pause: %d lines in %.0f ms of answered changes (at most %d)\n", lines, spanMs,
                    bound);
        check(lines <= bound, std::to_string(lines) + " lines in " + std::to_string(spanMs) +
                                  " ms: passes less than 12 ms apart");
    }
    keyboard.press(KEY_RIGHTCTRL);
    checkTimed([] {
        double quickest = 1e9;
        for (int start = 0; start < 5; ++start) {
            WatcherProcess watcher;
            waitUntilStarted(watcher);
            const auto started = Clock::now();
            const Line line = expectLine(watcher, "D ctrl");
            quickest = std::min(
                quickest, std::chrono::duration<double, std::milli>(line.read - started).count());
        }
        const std::vector<double> sleeps = bareSleeps(5);
        const double bound = *std::min_element(sleeps.begin(), sleeps.end()) / 2;
        std::printf("pause: the first line %.2f ms after the banner, the least of 5 starts "
                    "(bound %.2f)\n",
                    quickest, bound);
        return quickest < bound ? std::string()
                                : "the first line came " + std::to_string(quickest) +
                                      " ms after the banner at best: a pause before the first pass";
    });
    keyboard.release(KEY_RIGHTCTRL);
}

// A reader that shares a non-blocking pipe and falls behind: the line waits
// for room and comes out whole, and a stop signal meanwhile lets it finish.
void fullNonBlockingOutputWaitsForTheReader()
{
    VirtualKeyboard keyboard;
    WatcherOptions options;
    options.fullNonBlockingOutput = true;
    for (bool stopWhileWaiting : {false, true}) {
        WatcherProcess watcher(options);
        waitUntilStarted(watcher);
        keyboard.press(KEY_LEFTSHIFT);
        std::this_thread::sleep_for(Milliseconds(200));
        if (stopWhileWaiting)
            watcher.signal(SIGTERM);
        std::this_thread::sleep_for(Milliseconds(100));
        check(watcher.running(), "the watcher ended on a full output pipe: " +
                                     describeStatus(*watcher.waitForExit(Milliseconds(0))) +
                                     ", stderr " + watcher.errorText());
        const auto line = watcher.readLineAfterFiller();
        check(line && line->text == "D shift",
              "expected \"D shift\" after the filler, got " + (line ? line->text : "nothing"));
        if (stopWhileWaiting) {
            expectEnd(watcher, "exit 0", Milliseconds(1000));
        } else {
            keyboard.release(KEY_LEFTSHIFT);
            expectLine(watcher, "U shift");
        }
        keyboard.release(KEY_LEFTSHIFT);
        expectErrorText(watcher, banner);
    }
}

void expectKeyOn(WatcherProcess& watcher, VirtualKeyboard& keyboard, const std::string& which,
                 Milliseconds timeout = Milliseconds(1000))
{
    keyboard.press(KEY_RIGHTALT);
    try {
        expectLine(watcher, "D alt", timeout);
    } catch (const Failure& failure) {
        std::string said = watcher.errorText().substr(0, 300);
        std::replace(said.begin(), said.end(), '\n', '|');
        throw Failure(which + " (" + keyboard.node() + "): " + failure.what() +
                      "; stderr: " + said);
    }
    keyboard.release(KEY_RIGHTALT);
    expectLine(watcher, "U alt");
}

// Many keyboards at once, more than any small fixed set would hold: the one
// there before them (devtmpfs lists the oldest last) and every new one count.
void manyKeyboardsPluggedInAtOnceAreAllWatched()
{
    VirtualKeyboard builtIn("built in");
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    auto plugged = plugIn(72, "docked");
    std::this_thread::sleep_for(Milliseconds(600));
    expectKeyOn(watcher, builtIn, "the keyboard there at start");
    for (std::size_t i = 0; i < plugged.size(); ++i)
        expectKeyOn(watcher, *plugged[i], "keyboard " + std::to_string(i + 1) + " plugged in");
}

// Out of descriptors: each keyboard that cannot be taken is named once on
// stderr, the others are watched, and the refused ones are taken as soon as
// descriptors come free. Mice, never to be watched, are never named.
void keyboardsBeyondTheDescriptorLimitAreNamedAndTakenLater()
{
    // The mice first: the directory lists the newest nodes first, so they
    // come when the keyboards have used up the descriptors.
    const Devices mice = plugIn(3, "mouse", DeviceKind::mouse);
    auto keyboards = plugIn(6, "limited");
    WatcherOptions options;
    options.openFileLimit = 9;  // 0-2, the hot-plug watch, the spare, and room for four
    WatcherProcess watcher(options);
    waitUntilStarted(watcher);
    std::this_thread::sleep_for(Milliseconds(500));
    const std::string startText = watcher.errorText();
    const std::string prefix = "orvel-keywatcher: cannot watch ";
    const std::string suffix = ": " + std::string(std::strerror(EMFILE));
    std::vector<std::string> refused;
    std::size_t begin = 0;
    for (std::size_t end; (end = startText.find('\n', begin)) != std::string::npos;
         begin = end + 1) {
        const std::string line = startText.substr(begin, end - begin);
        if (line + "\n" == banner)
            continue;
        check(line.rfind(prefix, 0) == 0 && line.size() > prefix.size() + suffix.size() &&
                  line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0,
              "unexpected message: " + line);
        refused.push_back(line.substr(prefix.size(), line.size() - prefix.size() - suffix.size()));
        for (const auto& mouse : mice)
            check(refused.back() != mouse->node(), "a mouse was named: " + line);
    }
    check(refused.size() >= 2,
          std::to_string(refused.size()) + " keyboards named as refused, not 2 or more");
    int unplugged = 0;
    for (auto& keyboard : keyboards) {
        const bool wasRefused =
            std::find(refused.begin(), refused.end(), keyboard->node()) != refused.end();
        if (!wasRefused && unplugged < 2) {
            keyboard.reset();
            ++unplugged;
        }
    }
    check(unplugged == 2, "fewer than two keyboards were taken at start");
    for (auto& keyboard : keyboards)
        if (keyboard)
            expectKeyOn(watcher, *keyboard, "a keyboard left after two were unplugged",
                        Milliseconds(1500));
    check(watcher.errorText() == startText,
          "more messages later: " + watcher.errorText().substr(startText.size()));
}

// Unlinks what devtmpfs keeps in /dev/input besides the keyboards (the legacy
// mouse device), so the directory goes with its last keyboard.
void leaveOnlyKeyboardNodes()
{
    DIR* directory = opendir("/dev/input");
    check(directory != nullptr, "no /dev/input");
    std::vector<std::string> others;
    while (const dirent* entry = readdir(directory))
        if (entry->d_name[0] != '.' && std::strncmp(entry->d_name, "event", 5) != 0)
            others.push_back(std::string("/dev/input/") + entry->d_name);
    closedir(directory);
    for (const std::string& node : others)
        check(unlink(node.c_str()) == 0, "cannot remove " + node);
}

bool exists(const char* path)
{
    struct stat status {};
    return stat(path, &status) == 0;
}

// Unplugs the only keyboard left, and /dev/input goes with its node.
void unplugLastKeyboard(std::unique_ptr<VirtualKeyboard>& last)
{
    last.reset();
    const auto deadline = Clock::now() + Milliseconds(1000);
    while (exists("/dev/input") && Clock::now() < deadline)
        std::this_thread::sleep_for(Milliseconds(10));
    if (exists("/dev/input"))
        check(rmdir("/dev/input") == 0, "/dev/input stayed and cannot be removed");
}

bool kernelHasLandlock()
{
    return syscall(SYS_landlock_create_ruleset, nullptr, 0, 1) >= 1;
}

// /dev/input goes away with its last node and comes back with the next one,
// whether or not something still holds the removed folder (here the
// watcher's own working directory), which keeps it alive for the kernel.
// Landlock lets the watcher read the folder it started with alone: there
// it ends, saying so; without Landlock it reads the new folder.
void inputDirectoryGoneAndBackIsWatchedAgain()
{
    for (const char* workingDirectory : {"/", "/dev/input"}) {
        auto first = std::make_unique<VirtualKeyboard>("first");
        leaveOnlyKeyboardNodes();
        WatcherOptions options;
        options.workingDirectory = workingDirectory;
        WatcherProcess watcher(options);
        waitUntilStarted(watcher);
        unplugLastKeyboard(first);
        std::this_thread::sleep_for(Milliseconds(600));  // past a hot-plug check
        VirtualKeyboard second("second");
        check(exists("/dev/input"), "/dev/input did not come back");
        if (kernelHasLandlock()) {
            expectEnd(watcher, "exit 1");
            check(watcher.errorText().find("cannot read keyboards in /dev/input, made again since "
                                           "the watcher started: Permission denied\n") != std::string::npos,
                  "the watcher's message: " + watcher.errorText());
            continue;
        }
        expectKeyOn(watcher, second,
                    std::string("the keyboard after the directory came back, the watcher in ") +
                        workingDirectory,
                    Milliseconds(1500));
    }
}

// Runs `attempt` in a child as uid and gid 65534, with no groups: true if
// it returned true there.
bool asUnprivilegedUser(const std::function<bool()>& attempt)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(becomeUnprivilegedUser() && attempt() ? 0 : 1);
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What /proc shows of a running watcher, whoever started it: no new
// privileges, no capability left to use, and the system call filter.
void expectConfined(pid_t pid, const std::string& who)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string shown;
    for (std::string line; std::getline(status, line);)
        for (const char* field :
             {"CapInh:", "CapPrm:", "CapEff:", "CapAmb:", "NoNewPrivs:", "Seccomp:"})
            if (line.rfind(field, 0) == 0)
                shown += line + " ";
    check(shown == "CapInh:\t0000000000000000 CapPrm:\t0000000000000000 CapEff:\t0000000000000000 "
                   "CapAmb:\t0000000000000000 NoNewPrivs:\t1 Seccomp:\t2 ",
          "the watcher " + who + ": " + shown);
}

// The group that owns the keyboards, as udev gives it to every node.
constexpr gid_t keyboardGroup = 101;

void asUdev(const VirtualKeyboard& keyboard)
{
    check(chown(keyboard.node().c_str(), 0, keyboardGroup) == 0 &&
              chmod(keyboard.node().c_str(), 0660) == 0,
          "cannot give " + keyboard.node() + " to the keyboards' group");
}

// The watcher installed setgid to that group, started by a user outside it:
// every key, a keyboard plugged in later, and the user's own SIGTERM ending
// it in order, while the user cannot read the keyboards itself.
void setgidWatcherServesAUserOutsideTheGroup()
{
    WatcherOptions options;
    const std::string copy = "/tmp/orvel-keywatcher-setgid";
    {
        std::ifstream from(options.program, std::ios::binary);
        std::ofstream(copy, std::ios::binary) << from.rdbuf();
    }
    check(chown(copy.c_str(), 0, keyboardGroup) == 0 && chmod(copy.c_str(), 02755) == 0,
          "cannot make " + copy + " setgid");
    options.program = copy.c_str();
    options.asUnprivilegedUser = true;
    VirtualKeyboard keyboard;
    asUdev(keyboard);
    WatcherProcess watcher(options);
    waitUntilStarted(watcher);
    expectConfined(watcher.pid(), "setgid, started by a user");
    expectEveryKey(watcher, keyboard);
    VirtualKeyboard later("plugged in later");
    asUdev(later);
    expectKeyOn(watcher, later, "the keyboard plugged in later", Milliseconds(1500));
    check(!asUnprivilegedUser([&] { return open(keyboard.node().c_str(), O_RDONLY) >= 0; }),
          "the user can read the keyboard itself");
    check(asUnprivilegedUser([&] { return kill(watcher.pid(), SIGTERM) == 0; }),
          "the user cannot signal the watcher");
    expectEnd(watcher, "exit 0");
}

// In the confined child: what must still work and what must not, tried in
// turn, each that goes the wrong way named on `report`.
std::string tryConfined(const std::string& node, bool landlock)
{
    const auto readsKeys = [&] {
        evdev::KeyBitmap keys;
        const int fd = evdev::openNode(node.c_str());
        return fd >= 0 && evdev::readKeyState(fd, keys);
    };
    struct stat device {};
    stat(node.c_str(), &device);
    const std::string capabilities = "/sys/dev/char/" + std::to_string(major(device.st_rdev)) +
                                     ":" + std::to_string(minor(device.st_rdev)) +
                                     "/device/capabilities/key";
    char byte;
    iovec mine{&byte, 1}, parents{&byte, 1};
    const struct {
        const char* what;
        bool allowed;
        std::function<bool()> attempt;
    } attempts[] = {
        {"read a keyboard in /dev/input made again", !landlock, readsKeys},
        {"read sysfs", true,
         [&] { return read(open(capabilities.c_str(), O_RDONLY), &byte, 1) == 1; }},
        {"open the keyboard for writing", false, [&] { return open(node.c_str(), O_WRONLY) >= 0; }},
        {"make a file", false, [] { return open("/tmp/made", O_WRONLY | O_CREAT, 0600) >= 0; }},
        {"remove a file", false, [] { return unlink("/tmp/there") == 0; }},
        {"read a file outside /dev and /sys", false, [] { return open("/init", O_RDONLY) >= 0; }},
        {"run /bin/sh", false, [] { return system("exit 0") == 0; }},
        {"open a socket", false, [] { return socket(AF_UNIX, SOCK_STREAM, 0) >= 0; }},
        {"become dumpable", false, [] { return prctl(PR_SET_DUMPABLE, 1) == 0; }},
        {"read another process", false,
         [&] { return process_vm_readv(getppid(), &mine, 1, &parents, 1, 0) == 1; }},
    };
    std::string report;
    for (const auto& tried : attempts)
        if (tried.attempt() != tried.allowed)
            report += std::string(tried.allowed ? "cannot " : "can ") + tried.what + "; ";
    return report + "(end)";
}

// The watcher's own confinement, applied in a child of this program (root,
// with every capability), which then tries what reading keyboards needs,
// a node made after /dev/input was removed and made again among it (which
// Landlock refuses), and what it must not do. And the program shipped, run
// as root: /proc shows it confined, and it reads every key.
void confinementAllowsReadingKeyboardsAlone()
{
    auto first = std::make_unique<VirtualKeyboard>("first");
    leaveOnlyKeyboardNodes();
    std::ofstream("/tmp/there") << "x";
    int toChild[2], toParent[2];
    check(pipe(toChild) == 0 && pipe(toParent) == 0, "pipe");
    const bool landlock = kernelHasLandlock();
    const pid_t child = fork();
    if (child == 0) {
        // Its report on standard output, where alone the filter lets it write.
        dup2(toParent[1], STDOUT_FILENO);
        ConfinementFailure failure;
        if (!confineToReadingKeys(failure))
            _exit(3);
        char node[64] = {};
        (void)!write(STDOUT_FILENO, "", 1);
        (void)!read(toChild[0], node, sizeof node - 1);
        const std::string report = tryConfined(node, landlock);
        (void)!write(STDOUT_FILENO, report.data(), report.size());
        _exit(0);
    }
    close(toParent[1]);
    char confined;
    check(read(toParent[0], &confined, 1) == 1, "the probe ended before it was confined");
    unplugLastKeyboard(first);
    VirtualKeyboard second("second");
    (void)!write(toChild[1], second.node().c_str(), second.node().size());
    std::string report;
    for (char byte; read(toParent[0], &byte, 1) == 1;)
        report += byte;
    waitpid(child, nullptr, 0);
    close(toParent[0]);
    close(toChild[0]);
    close(toChild[1]);
    check(report == "(end)", "confined, the probe " + report);
    WatcherOptions shipped;
    shipped.program = "/bin/orvel-keywatcher";
    WatcherProcess watcher(shipped);
    waitUntilStarted(watcher);
    expectConfined(watcher.pid(), "shipped, run as root");
    expectEveryKey(watcher, second);
}

// An intruder inside a confined watcher, which gave up root for the
// keyboards' group, which stayed root (the nodes root's alone), and which
// a user started: every attempt fails, and what the watcher needs works.
// Also run on the host's own kernel, and in a guest booted without Landlock.
void intruderChangesNothing()
{
    std::unique_ptr<VirtualKeyboard> keyboard;
    if (exists("/dev/uinput"))
        keyboard = std::make_unique<VirtualKeyboard>();
    const std::string node = keyboard ? keyboard->node() : "";
    if (keyboard)
        asUdev(*keyboard);
    const std::string leftRoot = probeConfinement(false, node, keyboard != nullptr);
    if (keyboard)
        check(chown(node.c_str(), 0, 0) == 0 && chmod(node.c_str(), 0600) == 0, "chmod " + node);
    const std::string stayedRoot = probeConfinement(false, node, false);
    const std::string user = probeConfinement(true, "", false);
    check(leftRoot.empty() && stayedRoot.empty() && user.empty(),
          "confined, the probe " + (leftRoot.empty() ? "" : "(root, keyboards' group) " + leftRoot) +
              (stayedRoot.empty() ? "" : "(root, nodes root's) " + stayedRoot) +
              (user.empty() ? "" : "(a user) " + user));
}

// Landlock is there unless the kernel's command line left it out of its
// security modules: each boot proves what it was meant to.
void landlockAsBooted()
{
    std::ifstream file("/proc/cmdline");
    std::string line;
    std::getline(file, line);
    const auto modules = line.find("lsm=");
    const bool wanted =
        modules == std::string::npos || line.find("landlock", modules) != std::string::npos;
    const long version = syscall(SYS_landlock_create_ruleset, nullptr, 0, 1);
    check((version >= 1) == wanted, "Landlock ABI " + std::to_string(version) +
                                        " on a kernel booted with: " + line);
}

// Started by root where the event nodes belong to their group, the watcher
// becomes that group and the user nobody, with none of the groups and none
// of the descriptors above 2 it was started with, before it opens a
// keyboard, though the one keyboard is still root's alone (devtmpfs makes
// a node so, before udev gives it its group): it takes that keyboard once
// the group comes, reads every key and a keyboard plugged in later, and
// root's SIGTERM still stops it in order.
void rootGivesUpRootForTheKeyboardsGroup()
{
    VirtualKeyboard keyboard;
    const char* grouped = "/dev/input/event99";  // /dev/null's numbers: no keyboard
    check(mknod(grouped, S_IFCHR | 0640, makedev(1, 3)) == 0 && chown(grouped, 0, keyboardGroup) == 0,
          "cannot make a node of the keyboards' group");
    const struct Removed {
        const char* path;
        ~Removed() { unlink(path); }
    } removed{grouped};
    WatcherOptions options;
    options.inheritGroupsAndDescriptors = true;
    WatcherProcess watcher(options);
    waitUntilStarted(watcher);
    expectConfined(watcher.pid(), "run as root");
    const std::string proc = "/proc/" + std::to_string(watcher.pid());
    std::ifstream status(proc + "/status");
    std::string shown;
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Uid:", 0) == 0 || line.rfind("Gid:", 0) == 0 || line.rfind("Groups:", 0) == 0)
            shown += line.substr(0, line.find_last_not_of(" \t") + 1) + " ";
    check(shown == "Uid:\t65534\t65534\t65534\t65534 Gid:\t101\t101\t101\t101 Groups: ",
          "the watcher run as root: " + shown);
    for (const auto& fd : std::filesystem::directory_iterator(proc + "/fd"))
        check(std::filesystem::read_symlink(fd.path()).string().rfind(inheritedFile, 0) != 0,
              "the watcher kept descriptor " + fd.path().filename().string() + " it was given");
    asUdev(keyboard);
    expectKeyOn(watcher, keyboard, "the keyboard once udev gave it its group", Milliseconds(1500));
    expectEveryKey(watcher, keyboard);
    VirtualKeyboard later("plugged in later");
    asUdev(later);
    expectKeyOn(watcher, later, "the keyboard plugged in later", Milliseconds(1500));
    watcher.signal(SIGTERM);
    expectEnd(watcher, "exit 0");
}

// The Python client between the real watcher and this program, as pip
// installed it from the wheel, starting the program beside it: "ready",
// both Shift keys held and let go one by one, each counted, and the stop.
void pythonClientCountsEachKeyOfAName()
{
    if (!exists("/usr/bin/python3"))
        throw Skipped("no Python in this guest (only an x86_64 guest has the host's)");
    if (!exists("/lib/site/orvel_keywatcher/bin/orvel-keywatcher"))
        throw Skipped("no wheel was made for this guest (python3-build or python3-hatchling missing)");
    const char* client = "/tmp/python-client";
    std::ofstream(client) << "#!/bin/sh\nexec /usr/bin/python3 -S "
                             "/lib/site/orvel_keywatcher/__init__.py\n";
    chmod(client, 0755);
    VirtualKeyboard keyboard;
    WatcherOptions options;
    options.program = client;
    WatcherProcess python(options);
    expectLine(python, "ready", Milliseconds(10000));
    keyboard.press(KEY_LEFTSHIFT);
    expectLine(python, "shift down 1");
    keyboard.press(KEY_RIGHTSHIFT);
    expectLine(python, "shift down 2");
    keyboard.release(KEY_LEFTSHIFT);
    expectLine(python, "shift up 1");
    keyboard.release(KEY_RIGHTSHIFT);
    expectLine(python, "shift up 0");
    python.signal(SIGTERM);
    expectLine(python, "ended: stopped, exit 0");
    expectEnd(python, "exit 0");
}

// Removing a node does not unplug its keyboard: a held key stays down until
// it is let go, and the keyboard is still read.
void removedNodeOfAHeldKeyboardIsStillRead()
{
    VirtualKeyboard keyboard;
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    keyboard.press(KEY_LEFTCTRL);
    expectLine(watcher, "D ctrl");
    const std::string node = keyboard.node();
    check(unlink(node.c_str()) == 0, "cannot remove " + node);
    expectQuiet(watcher, Milliseconds(800));
    keyboard.release(KEY_LEFTCTRL);
    expectLine(watcher, "U ctrl");
    keyboard.press(KEY_LEFTMETA);
    expectLine(watcher, "D cmd_left");
}

void noKeyboardAtStartThenOnePluggedIn()
{
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    expectErrorText(watcher, banner);
    std::this_thread::sleep_for(Milliseconds(200));
    check(watcher.running(), "the watcher ended without a keyboard");
    VirtualKeyboard late("late");
    expectKeyOn(watcher, late, "the first keyboard", Milliseconds(1500));
}

// Started with standard input and output closed, the watcher's own
// descriptors stay above 2, and the first change line fails like any write.
void closedStandardStreamsAreNotReused()
{
    VirtualKeyboard keyboard;
    WatcherOptions options;
    options.closeStdinAndStdout = true;
    WatcherProcess watcher(options);
    waitUntilStarted(watcher);
    for (int fd : {0, 1}) {
        char target[64] = {};
        const std::string link =
            "/proc/" + std::to_string(watcher.pid()) + "/fd/" + std::to_string(fd);
        const bool taken = readlink(link.c_str(), target, sizeof target - 1) >= 0;
        check(!taken, "descriptor " + std::to_string(fd) + " is " + target);
    }

    keyboard.press(KEY_LEFTALT);
    expectEnd(watcher, "exit 1", Milliseconds(1000));
    expectErrorText(watcher,
                    banner + "orvel-keywatcher: cannot write to standard output: " + reason(EBADF));
}

// sysfs hidden from the watcher, as in a container without /sys: it must
// open a node to learn what device it is.
struct HiddenSysfs {
    HiddenSysfs() { check(mount("none", "/sys", "tmpfs", 0, nullptr) == 0, "cannot hide /sys"); }
    ~HiddenSysfs() { umount2("/sys", MNT_DETACH); }
};

// Other input devices plugged in and re-permissioned while a key changes at
// every pass: no pass may wait for them, whether sysfs tells what they are or,
// without sysfs, once each is known. The longest gap between two lines must
// stay close to the longest a bare 12 ms sleep takes meanwhile; a single
// device opened and closed costs an RCU grace period, about 30 ms here.
void otherDevicesNeverHoldAPassBack()
{
    VirtualKeyboard keyboard;
    WatcherProcess watcher;
    waitUntilStarted(watcher);
    Devices mice;
    const auto expectNoStall = [&](const char* what, const std::function<void()>& churn) {
        checkTimed([&] {
            const Gaps gaps = longestGaps(watcher, keyboard, KEY_LEFTSHIFT, "shift", [&] {
                churn();
                std::this_thread::sleep_for(Milliseconds(1000));  // two hot-plug checks
            });
            const double bound = std::max(gaps.sleeperMs, 12.0) + 15.0;
            std::printf("other-devices: %s: longest gap %.1f ms (bound %.1f) over %d lines; "
                        "bare 12 ms sleep %.1f ms\n",
                        what, gaps.watcherMs, bound, gaps.lines, gaps.sleeperMs);
            return gaps.watcherMs <= bound ? std::string()
                                           : std::string(what) + ": no line for " +
                                                 std::to_string(gaps.watcherMs) + " ms";
        });
    };
    expectNoStall("10 mice plugged in", [&] {
        if (!mice.empty()) {  // another try: the last one's mice gone first
            mice.clear();
            std::this_thread::sleep_for(Milliseconds(1000));
        }
        mice = plugIn(10, "mouse", DeviceKind::mouse);
        repermission(mice, 4);
    });
    HiddenSysfs hidden;
    expectNoStall("the same without sysfs", [&] { repermission(mice, 4); });
}

// Among many other input devices the watcher starts at once: sysfs tells it
// what they are, so none is opened. Without sysfs it opens each, found all
// the same but slowly; a stop requested meanwhile, once it is caught, is an
// orderly stop, with the banner still written and no pass made.
void startUpAmongOtherDevices()
{
    VirtualKeyboard keyboard;
    const auto quickestStart = [] {
        double quickest = 1e9;
        for (int start = 0; start < 3; ++start)
            quickest = std::min(quickest, startUpMs());
        return quickest;
    };
    Devices mice;
    checkTimed([&] {
        mice.clear();
        const double alone = quickestStart();
        mice = plugIn(40, "mouse", DeviceKind::mouse);
        const double among = quickestStart();
        std::printf("start-up: banner %.1f ms after start among 40 mice, %.1f ms without, the "
                    "least of 3 each\n",
                    among, alone);
        return among < alone + 150.0
                   ? std::string()
                   : "the banner came " + std::to_string(among) + " ms after start, against " +
                         std::to_string(alone) + " ms without the mice";
    });

    HiddenSysfs hidden;
    keyboard.press(KEY_RIGHTCTRL);
    {
        WatcherProcess watcher;
        waitUntilStarted(watcher);
        expectLine(watcher, "D ctrl");
    }
    WatcherProcess watcher;
    expectCatching(watcher, SIGTERM);
    std::this_thread::sleep_for(Milliseconds(150));
    check(watcher.errorText().empty(),
          "started within 150 ms of catching SIGTERM: too quick to stop during start-up");
    watcher.signal(SIGTERM);
    expectEnd(watcher, "exit 0", Milliseconds(5000));
    expectQuiet(watcher, Milliseconds(0));
    expectErrorText(watcher, banner);
    keyboard.release(KEY_RIGHTCTRL);
}

// A kernel setting, changed for the length of a case.
class KernelSetting {
public:
    KernelSetting(const std::string& path, const std::string& value) : path_(path)
    {
        std::ifstream(path) >> old_;
        write(value);
    }
    ~KernelSetting() { write(old_); }

private:
    void write(const std::string& value) const
    {
        std::ofstream setting(path_);
        setting << value << "\n";
        check(static_cast<bool>(setting.flush()), "cannot set " + path_);
    }

    std::string path_, old_;
};

// With the user's inotify instances or watches used up, the watcher says so,
// reads the keyboards all the same, and finds new ones by reading the
// directory at every hot-plug check.
void keyboardsAreFoundWithoutInotify()
{
    VirtualKeyboard keyboard;
    for (const auto& [limit, why] : {std::pair{"max_user_instances", std::strerror(EMFILE)},
                                     std::pair{"max_user_watches", std::strerror(ENOSPC)}}) {
        const KernelSetting none(std::string("/proc/sys/fs/inotify/") + limit, "0");
        WatcherProcess watcher;
        waitUntilStarted(watcher);
        expectErrorText(watcher, std::string("orvel-keywatcher: cannot watch /dev/input for new "
                                             "keyboards: ") +
                                     why +
                                     "\norvel-keywatcher: new keyboards will be found by "
                                     "reading /dev/input again every 0.4 s\n" +
                                     banner);
        expectKeyOn(watcher, keyboard, std::string("the keyboard there at start, ") + limit);
        VirtualKeyboard later("plugged in later");
        expectKeyOn(watcher, later, std::string("the keyboard plugged in later, ") + limit,
                    Milliseconds(1500));
    }
}

struct Case {
    const char* name;
    std::function<void()> run;
};

const Case cases[] = {
    {"banner-and-idle", bannerOnStderrAndSilenceWhileIdle},
    {"every-key-name", everyKeyGivesItsOwnName},
    {"keys-outside-table", keysOutsideTheTableGiveNothing},
    {"table-order", changesBetweenTwoSamplesComeOutInTableOrder},
    {"both-shift-keys", bothShiftKeysAreReportedOneByOne},
    {"blip-between-samples", pressAndReleaseBetweenSamplesGiveNothing},
    {"held-at-start", keyHeldAtStartIsReportedFirst},
    {"two-keyboards-one-key", keyHeldOnTwoKeyboardsStaysDownUntilBothLetGo},
    {"hot-plug", keyboardsComeAndGoWhileWatching},
    {"hot-plug-permissions", keyboardReadableOnlyLaterIsWatchedThen},
    {"held-read-only-queue-nothing", keyboardsAreHeldReadOnlyAndQueueNothing},
    {"stop-signals", stopSignalsEndTheWatcherQuietly},
    {"stop-with-keys-held", heldKeysGiveNoReleaseAtStopAndASecondSignalChangesNothing},
    {"reader-gone", readerGoneEndsTheWatcherByBrokenPipeAtTheNextChange},
    {"output-failure", failedOutputIsReportedAndEndsTheWatcher},
    {"no-access", userWithoutAccessGetsAClearError},
    {"latency", latencyStaysWithinOneCycle},
    {"pause", pauseSpacesThePassesAndFollowsTheFirst},
    {"full-non-blocking-output", fullNonBlockingOutputWaitsForTheReader},
    {"many-keyboards", manyKeyboardsPluggedInAtOnceAreAllWatched},
    {"descriptor-limit", keyboardsBeyondTheDescriptorLimitAreNamedAndTakenLater},
    {"node-removed-key-held", removedNodeOfAHeldKeyboardIsStillRead},
    {"no-keyboard-at-start", noKeyboardAtStartThenOnePluggedIn},
    {"closed-standard-streams", closedStandardStreamsAreNotReused},
    {"input-directory-gone-and-back", inputDirectoryGoneAndBackIsWatchedAgain},
    {"other-devices-never-stall", otherDevicesNeverHoldAPassBack},
    {"start-up-among-other-devices", startUpAmongOtherDevices},
    {"no-inotify", keyboardsAreFoundWithoutInotify},
    {"confinement", confinementAllowsReadingKeyboardsAlone},
    {"setgid-watcher", setgidWatcherServesAUserOutsideTheGroup},
    {"root-leaves-root", rootGivesUpRootForTheKeyboardsGroup},
    {"intruder", intruderChangesNothing},
    {"landlock-as-booted", landlockAsBooted},
    {"python-client", pythonClientCountsEachKeyOfAName},
};

void onWatchdog(int)
{
    static const char message[] = "FAIL watchdog: the system tests did not finish in time\n";
    (void)!write(1, message, sizeof message - 1);
    _exit(2);
}

}  // namespace

int main(int argc, char** argv)
{
    std::signal(SIGALRM, onWatchdog);
    alarm(270);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // NAME runs that case (all of them when none is named); -NAME leaves it out.
    std::vector<std::string> wanted, leftOut;
    for (int i = 1; i < argc; ++i)
        (argv[i][0] == '-' ? leftOut : wanted).push_back(argv[i][0] == '-' ? argv[i] + 1 : argv[i]);
    int passed = 0, failed = 0;
    for (const Case& test : cases) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), test.name) == wanted.end())
            continue;
        if (std::find(leftOut.begin(), leftOut.end(), test.name) != leftOut.end())
            continue;
        try {
            test.run();
            std::printf("ok %s\n", test.name);
            ++passed;
        } catch (const Skipped& why) {
            std::printf("skipped %s: %s\n", test.name, why.what());
        } catch (const std::exception& error) {
            std::printf("FAIL %s: %s\n", test.name, error.what());
            ++failed;
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
