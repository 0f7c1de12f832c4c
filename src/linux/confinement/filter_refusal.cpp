// A call the filter does not allow fails with an error, and the watcher goes on.
#include "filter_refusal.h"

#include <linux/seccomp.h>

namespace confinement {

std::uint32_t refusal(std::uint16_t error)
{
    return SECCOMP_RET_ERRNO | (error & SECCOMP_RET_DATA);
}

void prepareForRefusals() {}

}  // namespace confinement
