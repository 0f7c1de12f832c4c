// On Linux, in every run, root or not, before the first keyboard is opened:
// no new privileges, root given up where the keyboards' group can read
// them, no capabilities, reading beneath /dev/input and /sys and nothing
// else (Landlock), the watch on /dev/input, and the system call filter,
// which allows only the calls the watcher makes. A step the kernel lacks
// (no Landlock, no seccomp filters) is left out; one it has but refuses is
// a failure, said before the banner.
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "../../confinement.h"
#include "../input_watch.h"
#include "file_rules.h"
#include "leave_root.h"
#include "syscall_filter.h"

namespace {

// The bounding set can be emptied only while CAP_SETPCAP is still held, so
// it goes first; without that capability the first drop fails (EPERM), and
// past the last capability the kernel knows it fails too (EINVAL).
void emptyBoundingSet()
{
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    for (unsigned long capability = 0; prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) == 0;
         ++capability) {}
}

// Run as root, the watcher reads the keyboards through their owner bits and
// sysfs is world-readable: no capability is needed.
bool dropCapabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    return syscall(SYS_capset, &header, none) == 0;
}

}  // namespace

bool confineToReadingKeys(ConfinementFailure& failure)
{
    // Nothing started from here could gain a privilege (nothing is: the
    // filter refuses it); and Landlock and the filter need it.
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return failedStep(failure, "cannot give up new privileges");
    emptyBoundingSet();
    if (!confinement::leaveRootForKeyboardGroup(failure))
        return false;
    if (!dropCapabilities())
        return failedStep(failure, "cannot give up its capabilities");
    if (!confinement::restrictFilesToReading(failure))
        return false;
    // Landlock does not cover inotify: the one watch is set here, and the
    // filter refuses any other.
    evdev::startInputWatch();
    return confinement::installSyscallFilter(failure);
}
