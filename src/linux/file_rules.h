// Landlock, where the kernel has it: from here on the watcher may read
// beneath /dev and /sys, and nothing else.
#pragma once

namespace confinement {

// Best effort by the kernel's Landlock version; without Landlock, or where
// /dev cannot be named in a rule, nothing changes. Needs no new privileges
// set first (or CAP_SYS_ADMIN).
void restrictFilesToReading();

}  // namespace confinement
