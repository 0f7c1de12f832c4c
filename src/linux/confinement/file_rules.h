// Landlock, where the kernel has it: from here on the watcher may read
// beneath /dev/input and /sys, and nothing else.
#pragma once

#include "../../confinement.h"

namespace confinement {

// By the kernel's Landlock version; without Landlock (not built, or not
// enabled) nothing changes. False where the kernel has Landlock and
// refuses a step. Needs no new privileges set first (or CAP_SYS_ADMIN).
bool restrictFilesToReading(ConfinementFailure& failure);

}  // namespace confinement
