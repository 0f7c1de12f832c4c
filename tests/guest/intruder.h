// What an intruder who had taken over a confined watcher would try, class by
// class (files and their metadata, other processes, terminals, namespaces,
// keyrings, inotify, devices, descriptors it was given, memory, programs,
// sockets, privileges, the 32-bit entry), and
// what the watcher itself still needs. Run on the guest's kernels and on the
// host's own.
#pragma once

#include <sys/types.h>

#include <string>

namespace guest {

struct IntruderTargets {
    std::string ownFile;  // a file of the probe's user, outside /dev and /sys
    std::string ownFolder;  // a folder of the probe's user, holding it
    std::string rootsDeviceFile;  // root's alone, beneath /dev, no device
    std::string keyboard;  // a keyboard node the probe may read, or ""
    std::string sysfsFile;  // a file of sysfs the watcher would read
    pid_t sameUser = -1;  // another process of the probe's user
    int terminal = -1;  // the probe's controlling terminal, held read-only
    int given = -1;  // ownFile, open for reading and writing, as a parent might lend it
    char* lowPath = nullptr;  // ownFile's path below 4 GiB, where a 32-bit call can name it
    bool landlock = false;  // the kernel has Landlock
    bool root = false;  // the probe stays root once confined
};

// Run in the confined process. Names each attempt that went the wrong way
// ("can X; cannot Y; "); "" when everything held.
std::string tryAsIntruder(const IntruderTargets& targets);

// Sets up the targets for a probe, confines a child with the watcher's own
// code, there becoming uid and gid 65534 first where `unprivileged`, and
// returns what it reported. Unless `unprivileged` or `leavesRoot`, the
// probe is expected to stay root.
std::string probeConfinement(bool unprivileged, const std::string& keyboard, bool leavesRoot);

}  // namespace guest
