// What a confined watcher does, call by call: read keyboards and sysfs,
// list /dev/input, read the inotify news set up before the filter, write
// its lines (waiting while standard output is full), sleep between passes,
// take a stop signal, and exit; the C library's memory and its abort().
#include "allowed_calls.h"

#include <sys/syscall.h>

namespace confinement {

// clang-format off
const AllowedCall allowedCalls[] = {
    {SYS_ioctl, Check::ownRequests, 1},  // every pass, once per keyboard
    {SYS_openat, Check::readOnly, 2},
#ifdef SYS_open
    {SYS_open, Check::readOnly, 1},  // musl's open() on x86_64
#endif
    {SYS_mmap, Check::notExecutable, 2},
    {SYS_mprotect, Check::notExecutable, 2},
    {SYS_fcntl, Check::ownDescriptorFlags, 1},
    {SYS_kill, Check::ownProcess, 0},
    {SYS_tkill, Check::ownProcess, 0},  // musl's raise()
    {SYS_tgkill, Check::ownProcess, 0},  // glibc's raise()

    // the pause, and its end by a stop signal
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
    // stdio writes with writev), and the wait while the output is full
    {SYS_write, Check::none, 0}, {SYS_writev, Check::none, 0},
    {SYS_pselect6, Check::none, 0},
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

    // newer calls a C library tries before an older one
    {SYS_statx, Check::absent, 0}, {SYS_openat2, Check::absent, 0},
    {SYS_clone3, Check::absent, 0}, {SYS_faccessat2, Check::absent, 0},
    {SYS_close_range, Check::absent, 0},
};
// clang-format on

const std::size_t allowedCallCount = sizeof allowedCalls / sizeof allowedCalls[0];

}  // namespace confinement
