// Every descriptor above 2 that the watcher was started with is closed
// before anything else: read, written or mapped, one could reach a file or
// a socket its parent chose (started as `orvel-keywatcher 3>>log`, a
// watcher gone wrong could append to the log). close_range(2) (Linux 5.9)
// closes them all at once; before it, each number up to the descriptor
// limit is closed, which reads no file. The hard limit is the larger, and
// a parent that lowered it below a descriptor it had opened already is the
// one case the fallback misses (docs/design.md).
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "../../confinement.h"

#ifndef SYS_close_range
#define SYS_close_range 436  // the same number on every architecture
#endif

void closeInheritedDescriptors()
{
    constexpr int first = STDERR_FILENO + 1;
    if (syscall(SYS_close_range, first, ~0U, 0) == 0)
        return;
    rlimit limit{};
    rlim_t last = 1024;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0)
        last = std::max(limit.rlim_cur, limit.rlim_max);
    last = std::min<rlim_t>(last, 1U << 20);  // the kernel's own most (nr_open)
    for (rlim_t fd = first; fd < last; ++fd)
        close(static_cast<int>(fd));
}
