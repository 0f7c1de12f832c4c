// The system calls a confined watcher may make, with the check each gets:
// one table, for glibc and musl on x86_64 and aarch64, compiled into the
// seccomp filter by syscall_filter.cpp. Every call not in it is refused.
#pragma once

#include <cstddef>

namespace confinement {

enum class Check {
    // Allowed by number alone. The kernel (5.11 on) remembers such calls
    // and lets them through without running the filter: the calls of
    // every pass belong here, unless an argument holds the danger.
    none,
    ownRequests,  // ioctl: the evdev requests the watcher makes, no other
    readOnly,  // open flags: no writing, making, truncating
    notExecutable,  // memory protection: never PROT_EXEC
    ownDescriptorFlags,  // fcntl: what the watcher and the C library's folder reading ask
    ownProcess,  // a signal: to the watcher itself alone
    absent,  // tried by a C library, which does without it: answered ENOSYS
};

struct AllowedCall {
    long number;
    Check check;
    std::size_t argument;  // the argument checked, where one is
};

// Calls with a check come first, the per-pass ioctl before all: the filter
// tests them in this order.
extern const AllowedCall allowedCalls[];
extern const std::size_t allowedCallCount;

}  // namespace confinement
