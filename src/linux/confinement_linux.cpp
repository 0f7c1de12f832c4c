// On Linux, in every run, root or not, before the first keyboard is opened:
// no new privileges, root given up where the keyboards' group can read
// them, no capabilities, reading beneath /dev and /sys and nothing else
// (Landlock), the watch on /dev/input, and the system call filter, which
// allows only the calls the watcher makes. Each step the kernel lacks is
// left out without a word: standard error is for failures.
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "../confinement.h"
#include "file_rules.h"
#include "input_watch.h"
#include "leave_root.h"
#include "syscall_filter.h"

namespace {

// The bounding set can be emptied only while CAP_SETPCAP is still held, so
// it goes first; without that capability the first drop fails and the loop
// ends at once.
void emptyBoundingSet()
{
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    for (unsigned long capability = 0; prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) == 0;
         ++capability) {}
}

// Run as root, the watcher reads the keyboards through their owner bits and
// sysfs is world-readable: no capability is needed.
void dropCapabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    syscall(SYS_capset, &header, none);
}

}  // namespace

void confineToReadingKeys()
{
    // Nothing started from here could gain a privilege (nothing is: the
    // filter refuses it); and Landlock and the filter need it.
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    emptyBoundingSet();
    confinement::leaveRootForKeyboardGroup();
    dropCapabilities();
    confinement::restrictFilesToReading();
    // Landlock does not cover inotify: the one watch is set here, and the
    // filter refuses any other.
    evdev::startInputWatch();
    confinement::installSyscallFilter();
}
