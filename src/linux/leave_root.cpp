#include "leave_root.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "descriptors.h"
#include "input_watch.h"

namespace confinement {

namespace {

// Not looked up in /etc/passwd: the watcher reads no file but devices.
constexpr uid_t nobody = 65534;

// The group every event node belongs to and may read through, or 0 where
// there is no node, or they do not all have one such group.
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
            !S_ISCHR(node.st_mode))
            continue;
        if (node.st_gid == 0 || !(node.st_mode & S_IRGRP) || (group != 0 && node.st_gid != group))
            shared = false;
        group = node.st_gid;
    }
    closedir(directory);
    return shared ? group : 0;
}

}  // namespace

void leaveRootForKeyboardGroup()
{
    if (geteuid() != 0)
        return;
    const gid_t group = keyboardGroup();
    // The groups first: once the user is nobody, none could be changed.
    if (group == 0 || setgroups(0, nullptr) != 0 || setresgid(group, group, group) != 0)
        return;
    if (setresuid(nobody, nobody, nobody) == 0)
        prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);  // no process of nobody's may trace it
}

}  // namespace confinement
