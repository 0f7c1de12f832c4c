// A seccomp filter that refuses, with an error, what the watcher never does
// and an intruder would want.
#pragma once

namespace confinement {

// Installs the filter for the rest of the process's life, on the
// architectures it is written for (x86_64 and aarch64); elsewhere, or where
// the kernel has no seccomp filters, nothing changes. Needs no new
// privileges set first (or CAP_SYS_ADMIN).
void installSyscallFilter();

}  // namespace confinement
