// The system calls a confined watcher may make, with the check each gets:
// one table, for glibc and musl on x86_64 and aarch64, compiled into the
// seccomp filter by syscall_filter.cpp. Every call not in it is refused,
// the newer ones a C library might try before an older one too: no path
// of the watcher's makes one (the tests' build, which ends on any refused
// call, shows it with glibc and musl on both architectures).
#pragma once

#include <sys/syscall.h>

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
    standardStreams,  // writing: on standard output and error alone
    anonymousNotExecutable,  // mmap: memory of its own, never PROT_EXEC (arguments 2 and 3)
};

struct AllowedCall {
    long number;
    Check check;
    std::size_t argument;  // the argument checked, where one is
};

// What a confined watcher does, call by call: read keyboards and sysfs,
// list /dev/input, read the inotify news set up before the filter, write
// its lines (waiting while standard output is full), sleep between passes,
// take a stop signal, and exit; the C library's memory and its abort().
// Calls with a check come first, the per-pass ioctl before all: the filter
// tests them in this order. It is compiled at build time too, so that a
// table the filter's program cannot hold fails to build.
// clang-format off
inline constexpr AllowedCall allowedCalls[] = {
    {SYS_ioctl, Check::ownRequests, 1},  // every pass, once per keyboard
    {SYS_openat, Check::readOnly, 2},
#ifdef SYS_open
    {SYS_open, Check::readOnly, 1},  // musl's open() on x86_64
#endif
    {SYS_mmap, Check::anonymousNotExecutable, 2},
    {SYS_mprotect, Check::notExecutable, 2},
    {SYS_fcntl, Check::ownDescriptorFlags, 1},
    {SYS_kill, Check::ownProcess, 0},
    {SYS_tkill, Check::ownProcess, 0},  // musl's raise()
    {SYS_tgkill, Check::ownProcess, 0},  // glibc's raise()

    // the wait while the output is full, the pause, and its end by a stop signal
    {SYS_pselect6, Check::none, 0},
    {SYS_clock_nanosleep, Check::none, 0}, {SYS_nanosleep, Check::none, 0},
    {SYS_restart_syscall, Check::none, 0}, {SYS_rt_sigreturn, Check::none, 0},
    // reading keyboards, sysfs, /dev/input and inotify's news of it
    {SYS_read, Check::none, 0}, {SYS_close, Check::none, 0},
    {SYS_newfstatat, Check::none, 0}, {SYS_fstat, Check::none, 0},
    {SYS_getdents64, Check::none, 0}, {SYS_inotify_rm_watch, Check::none, 0},
#ifdef SYS_stat
    {SYS_stat, Check::none, 0},  // musl's stat() on x86_64
#endif
    // lines on standard output and messages on standard error (musl's
    // stdio writes with writev), on no other descriptor
    {SYS_write, Check::standardStreams, 0}, {SYS_writev, Check::standardStreams, 0},

#ifdef SYS_select
    {SYS_select, Check::none, 0},
#endif
    // the C library's memory
    {SYS_brk, Check::none, 0}, {SYS_munmap, Check::none, 0},
    {SYS_mremap, Check::none, 0}, {SYS_madvise, Check::none, 0},
    // abort(), should the C library ever call it, and the exit
    {SYS_getpid, Check::none, 0}, {SYS_gettid, Check::none, 0},
    {SYS_rt_sigprocmask, Check::none, 0}, {SYS_rt_sigaction, Check::none, 0},
    {SYS_exit_group, Check::none, 0}, {SYS_exit, Check::none, 0},
};
// clang-format on

}  // namespace confinement
