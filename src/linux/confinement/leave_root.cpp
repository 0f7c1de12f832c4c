#include "leave_root.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../descriptors.h"
#include "../input_watch.h"

namespace confinement {

namespace {

// Not looked up in /etc/passwd: the watcher reads no file but devices.
constexpr uid_t nobody = 65534;

// The group the event nodes share and may read through, leaving out those
// still root's alone; 0 where no node has such a group, or two groups are
// found.
gid_t keyboardGroup()
{
    DIR* directory = evdev::openDirectory(evdev::inputDirectory);
    if (!directory)
        return 0;
    gid_t group = 0;
    bool shared = true;
    while (const dirent* entry = readdir(directory)) {
        struct stat node {};
        if (!evdev::isEventNode(entry->d_name) ||
            fstatat(dirfd(directory), entry->d_name, &node, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISCHR(node.st_mode) || node.st_gid == 0)
            continue;
        if (!(node.st_mode & S_IRGRP) || (group != 0 && node.st_gid != group))
            shared = false;
        group = node.st_gid;
    }
    closedir(directory);
    return shared ? group : 0;
}

}  // namespace

bool leaveRootForKeyboardGroup(ConfinementFailure& failure)
{
    if (geteuid() != 0)
        return true;
    const gid_t group = keyboardGroup();
    if (group == 0)
        return true;  // it stays root
    // The groups first: once the user is nobody, none could be changed.
    if (setgroups(0, nullptr) != 0 || setresgid(group, group, group) != 0 ||
        setresuid(nobody, nobody, nobody) != 0)
        return failedStep(failure, "cannot leave root for the keyboards' group");
    // No process of nobody's may trace it.
    if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0)
        return failedStep(failure, "cannot make itself not dumpable");
    evdev::awaitNodesOfRootAlone();
    return true;
}

}  // namespace confinement
