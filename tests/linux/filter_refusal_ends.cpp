// The tests' build of the watcher: a call its filter does not allow ends
// the process, killed by SIGSYS, after one line on standard error naming
// the call, so that every path the system tests take proves the list.
#include <linux/seccomp.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>

#include "linux/confinement/filter_refusal.h"

namespace {

// Digits of `value` in hex at `out`; returns the position after them.
char* hex(char* out, unsigned long value)
{
    char digits[2 * sizeof value];
    std::size_t count = 0;
    do
        digits[count++] = "0123456789abcdef"[value % 16];
    while ((value /= 16) != 0);
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

void onRefusedCall(int, siginfo_t* info, void*)
{
    char line[160] = "orvel-keywatcher: the filter refused system call 0x";
    char* end = line + sizeof "orvel-keywatcher: the filter refused system call 0x" - 1;
    end = hex(end, static_cast<unsigned long>(info->si_syscall));
    *end++ = '\n';
    (void)!write(STDERR_FILENO, line, static_cast<std::size_t>(end - line));
    // Refused again while SIGSYS is blocked: the kernel ends the process.
    syscall(SYS_getppid);
}

}  // namespace

namespace confinement {

std::uint32_t refusal(std::uint16_t)
{
    return SECCOMP_RET_TRAP;
}

void prepareForRefusals()
{
    struct sigaction action {};
    action.sa_sigaction = onRefusedCall;
    action.sa_flags = SA_SIGINFO;
    sigaction(SIGSYS, &action, nullptr);
}

}  // namespace confinement
