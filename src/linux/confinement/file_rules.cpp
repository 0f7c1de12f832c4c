// Reading beneath /dev/input (keyboards, and the folder that lists them) and
// files beneath /sys (what a device is) is all the watcher keeps: no other
// device can be opened (a terminal's typing taken, a pseudo-terminal made,
// a watchdog armed, a serial line's modem signals raised: opening is enough
// for each), no file opened for writing, made, removed, renamed, truncated
// or run anywhere; no TCP port bound or connected, and device ioctls only
// beneath /dev/input, where the kernel's version covers them. Rules bind to
// a folder's inode, not its path: a /dev/input that devtmpfs removes and
// makes again is not covered, and the key state ends the watcher then
// (docs/design.md weighs the other ways).
#include "file_rules.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "../descriptors.h"
#include "../input_watch.h"

// The same numbers on every architecture; a C library older than Landlock
// may not name them.
#ifndef SYS_landlock_create_ruleset
#define SYS_landlock_create_ruleset 444
#define SYS_landlock_add_rule 445
#define SYS_landlock_restrict_self 446
#endif

namespace confinement {

namespace {

// The kernel's Landlock interface (linux/landlock.h), written out here: the
// C library's kernel headers may predate the later versions.
struct Handled {
    std::uint64_t fileAccess;
    std::uint64_t networkAccess;  // version 4 on
    std::uint64_t scopes;  // version 6 on
};

struct [[gnu::packed]] PathBeneathRule {
    std::uint64_t allowedAccess;
    std::int32_t parentFd;
};

constexpr unsigned askVersion = 1U << 0;
constexpr int pathBeneath = 1;
constexpr std::uint64_t readFile = 1ULL << 2;
constexpr std::uint64_t readDirectory = 1ULL << 3;
constexpr std::uint64_t deviceIoctl = 1ULL << 15;

// What each version of Landlock added: every right of its kind is handled,
// and so refused but where a rule below allows it.
struct Version {
    long number;
    Handled added;
};

constexpr Version versions[] = {
    {1, {(1ULL << 13) - 1, 0, 0}},  // run, write, read, list, remove, make
    {2, {1ULL << 13, 0, 0}},  // link or rename into another folder
    {3, {1ULL << 14, 0, 0}},  // truncate
    {4, {0, 0b11, 0}},  // bind and connect TCP
    {5, {deviceIoctl, 0, 0}},  // ioctls on devices
    {6, {0, 0, 0b11}},  // abstract Unix sockets and signals outside the watcher
};

Handled handledBy(long version)
{
    Handled handled{};
    for (const Version& known : versions) {
        if (known.number > version)
            break;
        handled.fileAccess |= known.added.fileAccess;
        handled.networkAccess |= known.added.networkAccess;
        handled.scopes |= known.added.scopes;
    }
    return handled;
}

// A rule for what is beneath `folder`; a folder that is not there needs
// none (no /sys: nothing to read there; no /dev/input: the key state says
// so at start).
bool allowBeneath(int ruleset, const char* folder, std::uint64_t access)
{
    const int fd = evdev::openAbove(folder, O_PATH | O_DIRECTORY);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR;
    const PathBeneathRule rule{access, fd};
    const bool added = syscall(SYS_landlock_add_rule, ruleset, pathBeneath, &rule, 0) == 0;
    const int error = errno;
    close(fd);
    errno = error;
    return added;
}

bool restrictWith(int ruleset, const Handled& handled, ConfinementFailure& failure)
{
    if (!allowBeneath(ruleset, evdev::inputDirectory,
                      (readFile | readDirectory | deviceIoctl) & handled.fileAccess) ||
        !allowBeneath(ruleset, "/sys", readFile))
        return failedStep(failure, "cannot add a Landlock rule");
    if (syscall(SYS_landlock_restrict_self, ruleset, 0) != 0)
        return failedStep(failure, "cannot restrict itself with Landlock");
    return true;
}

}  // namespace

bool restrictFilesToReading(ConfinementFailure& failure)
{
    const long version = syscall(SYS_landlock_create_ruleset, nullptr, 0, askVersion);
    if (version < 1)  // not built (ENOSYS), or not enabled at boot (EOPNOTSUPP)
        return errno == ENOSYS || errno == EOPNOTSUPP ||
               failedStep(failure, "cannot ask for Landlock's version");
    const Handled handled = handledBy(version);
    const int ruleset = evdev::aboveStandardStreams(
        static_cast<int>(syscall(SYS_landlock_create_ruleset, &handled, sizeof handled, 0)));
    if (ruleset < 0)
        return failedStep(failure, "cannot make a Landlock ruleset");
    // In sysfs the watcher opens files by their path, which needs no right
    // to list the folders on the way.
    const bool restricted = restrictWith(ruleset, handled, failure);
    close(ruleset);
    return restricted;
}

}  // namespace confinement
