// Key state on Linux: the kernel's evdev devices, asked on demand. Every
// keyboard under /dev/input is held open; keyboards plugged in later are
// found through inotify (its watch set by the confinement, before the
// system call filter), checked every few passes without blocking.
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "../diagnostics.h"
#include "../exit_status.h"
#include "../key_state.h"
#include "descriptors.h"
#include "evdev_device.h"
#include "evdev_keys.h"
#include "hotplug.h"
#include "input_watch.h"
#include "keyboard_set.h"
#include "new_nodes.h"
#include "waiting_nodes.h"

namespace {

using evdev::inputDirectory;
using evdev::isEventNode;
constexpr const char* readContext = "cannot read any keyboard in /dev/input";
constexpr const char* permissionHint =
    "run it as root, add the user to the 'input' group and log in again, "
    "or make it setgid 'input' (see man orvel-keywatcher)";

// About every 0.4 s: soon enough for a keyboard just plugged in, rare enough
// to cost nothing while idle.
constexpr unsigned passesPerHotplugCheck = 32;

evdev::KeyboardSet keyboards;
evdev::KeyBitmap keysDown;
unsigned passesSinceHotplugCheck = 0;
unsigned hotplugChecks = 0;
bool rescanPending = false;

// Nodes to offer again at every hot-plug check: out of descriptors or memory
// for them, or interrupted.
evdev::WaitingNodes waitingNodes;
// Nodes that hot-plug news named, offered one per pass.
evdev::NewNodes newNodes;
bool deniedAtStartUp = false;

void keepForLater(const char* name, evdev::AddResult result, int error)
{
    const bool shortage = result == evdev::AddResult::later;
    switch (waitingNodes.keep(name, shortage, hotplugChecks)) {
    case evdev::WaitingNodes::Kept::nameNow: {
        char what[96];
        std::snprintf(what, sizeof what, "cannot watch %s/%s", inputDirectory, name);
        report(what, std::strerror(error));
        break;
    }
    case evdev::WaitingNodes::Kept::notKept:
        rescanPending = true;  // the directory's next reading offers it again
        break;
    case evdev::WaitingNodes::Kept::quietly:
        break;
    }
}

// Offers one node of the input directory to the keyboard set, if it is an
// event node; true if the user may not open it.
bool offer(const char* name)
{
    if (!isEventNode(name))
        return false;
    const auto result = keyboards.add(inputDirectory, name);
    if (result == evdev::AddResult::later || result == evdev::AddResult::retry) {
        keepForLater(name, result, errno);
        return false;
    }
    waitingNodes.forget(name);
    return result == evdev::AddResult::denied;
}

void offerNow(const char* name)
{
    offer(name);
}

void offerAtStartUp(const char* name)
{
    if (offer(name))
        deniedAtStartUp = true;
}

// A node that finds no room is left to the next check's reading of the
// whole directory.
void queueNode(const char* name)
{
    if (isEventNode(name) && !newNodes.add(name))
        rescanPending = true;
}

// Calls `each` for every node in the directory. Returns 0, or errno when the
// directory cannot be read.
int forEachInputNode(void (*each)(const char* name))
{
    DIR* directory = evdev::openDirectory(inputDirectory);
    if (!directory)
        return errno;
    while (const dirent* entry = readdir(directory))
        each(entry->d_name);
    closedir(directory);
    return 0;
}

// Landlock lets the watcher read beneath the /dev/input it started with
// alone: one that devtmpfs made again (it removes the folder with its last
// node) is refused, and no keyboard plugged in from then on could ever be
// read. The watcher ends then, as it does where it can read no keyboard at
// start; a parent that starts it again gets one that reads the new folder.
[[noreturn]] void endForFolderMadeAgain(int error)
{
    report("cannot read keyboards in /dev/input, made again since the watcher started",
           std::strerror(error));
    advise("start the watcher again to read the keyboards plugged in since");
    _exit(exitFailure);
}

// Without a watch on the directory, it is read at every check: cheap, since
// only what may be a keyboard and is not held yet is ever opened. What the
// check finds is offered in the passes that follow, one node per pass.
void checkHotplug()
{
    ++hotplugChecks;
    evdev::HotplugWatch& watch = evdev::inputWatch();
    rescanPending = watch.check(queueNode) || rescanPending || !watch.watching();
    if (rescanPending) {
        rescanPending = false;
        const int error = forEachInputNode(queueNode);
        if (error == EACCES || error == EPERM)
            endForFolderMadeAgain(error);
        if (error != 0)
            rescanPending = true;  // gone for now, or out of descriptors: next time
    }
    waitingNodes.offerAgain(hotplugChecks, offerNow);
}

void offerOneNewNode()
{
    char name[evdev::NewNodes::nameSize];
    if (newNodes.take(name))
        offer(name);
}

bool fail(KeyStateFailure& failure, const char* context, const char* reason,
          const char* hint = nullptr)
{
    failure.context = context;
    failure.reason = reason;
    failure.hint = hint;
    return false;
}

const char* hintFor(int error)
{
    return error == EACCES || error == EPERM ? permissionHint : nullptr;
}

}  // namespace

// Fails only where the watcher can never work: /dev/input missing or
// unreadable, or no keyboard taken and some keyboard refused to this user.
// With no keyboard attached yet, or no inotify, it starts all the same.
bool openKeyState(KeyStateFailure& failure)
{
    evdev::reserveSpareDescriptor();
    // The watch was set before the scan, so no keyboard slips in between.
    const int watchError = evdev::inputWatchError();
    if (const int error = forEachInputNode(offerAtStartUp))
        return fail(failure, readContext, std::strerror(error), hintFor(error));
    if (keyboards.size() == 0 && deniedAtStartUp && !evdev::nodesOfRootAloneAwaited())
        return fail(failure, readContext, std::strerror(EACCES), permissionHint);
    // The keyboards can be read all the same; only news of new ones is lost.
    if (watchError) {
        report("cannot watch /dev/input for new keyboards", std::strerror(watchError));
        advise("new keyboards will be found by reading /dev/input again every 0.4 s");
    }
    return true;
}

void beginKeyStatePass()
{
    if (++passesSinceHotplugCheck == passesPerHotplugCheck) {
        passesSinceHotplugCheck = 0;
        checkHotplug();
    }
    offerOneNewNode();
    keyboards.readKeys(keysDown);
}

bool keyIsDown(VirtualKeyCode code)
{
    return evdev::bitIsSet(keysDown, evdev::keyBitmapWords, evdev::linuxKeyFor(code));
}
