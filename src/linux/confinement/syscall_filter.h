// A seccomp filter that allows the calls the watcher makes, each with its
// arguments checked where the danger is in them, and refuses every other.
#pragma once

#include "../../confinement.h"

namespace confinement {

// Installs the filter for the rest of the process's life, on the
// architectures it is written for (x86_64 and aarch64); elsewhere, or where
// the kernel has no seccomp filters, nothing changes, and where the kernel
// refuses it, it returns false. Needs no new privileges set first (or
// CAP_SYS_ADMIN). The last step of the confinement: nothing it refuses may
// be needed after it.
bool installSyscallFilter(ConfinementFailure& failure);

}  // namespace confinement
