// Key state on Linux: the kernel's evdev devices, asked on demand. Every
// keyboard under /dev/input is held open; keyboards plugged in later are
// found through inotify, checked every few passes without blocking.
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "../diagnostics.h"
#include "../key_state.h"
#include "evdev_keys.h"
#include "growing_array.h"
#include "hotplug.h"
#include "keyboard_set.h"

namespace {

constexpr const char* inputDirectory = "/dev/input";
constexpr const char* readContext = "cannot read any keyboard in /dev/input";
constexpr const char* permissionHint =
    "run it as root, or add the user to the 'input' group and log in again";

// About every 0.4 s: soon enough for a keyboard just plugged in, rare enough
// to cost nothing while idle.
constexpr unsigned passesPerHotplugCheck = 32;

evdev::KeyboardSet keyboards;
evdev::KeyBitmap keysDown;
evdev::HotplugWatch hotplug(inputDirectory);
unsigned passesSinceHotplugCheck = 0;
unsigned hotplugChecks = 0;
bool rescanPending = false;

// Nodes to try again at every hot-plug check: out of descriptors or memory
// for them (each named once on stderr), or interrupted.
struct WaitingNode {
    char name[32];
    unsigned triedAt;  // the hot-plug check that last offered it
};
evdev::GrowingArray<WaitingNode> waitingNodes;

bool isEventNode(const char* name)
{
    return std::strncmp(name, "event", 5) == 0;
}

// The node's place in waitingNodes, or its size if it is not there.
std::size_t waitingIndexOf(const char* name)
{
    std::size_t index = 0;
    while (index < waitingNodes.size() && std::strcmp(waitingNodes[index].name, name) != 0)
        ++index;
    return index;
}

void keepForLater(const char* name, int error)
{
    const std::size_t waiting = waitingIndexOf(name);
    if (waiting < waitingNodes.size()) {
        waitingNodes[waiting].triedAt = hotplugChecks;  // named already
        return;
    }
    // A signal is no news; a shortage is.
    if (error != EINTR) {
        char what[64];
        std::snprintf(what, sizeof what, "cannot watch %s/%s", inputDirectory, name);
        report(what, std::strerror(error));
    }
    WaitingNode node;
    if (std::strlen(name) < sizeof node.name) {
        std::strcpy(node.name, name);
        node.triedAt = hotplugChecks;
        waitingNodes.push(node);
    }
}

// Offers one node of the input directory to the keyboard set, if it is an
// event node; true if the user may not open it.
bool offer(const char* name)
{
    if (!isEventNode(name))
        return false;
    const auto result = keyboards.add(inputDirectory, name);
    if (result == evdev::AddResult::later) {
        keepForLater(name, errno);
        return false;
    }
    const std::size_t waiting = waitingIndexOf(name);
    if (waiting < waitingNodes.size())
        waitingNodes.removeAt(waiting);
    return result == evdev::AddResult::denied;
}

void offerChanged(const char* name)
{
    offer(name);
}

// Offers every node in the directory. Returns 0, or errno when the
// directory cannot be read; `denied` tells whether any node was refused.
int scanInputDirectory(bool& denied)
{
    DIR* directory = opendir(inputDirectory);
    if (!directory)
        return errno;
    while (const dirent* entry = readdir(directory))
        if (offer(entry->d_name))
            denied = true;
    closedir(directory);
    return 0;
}

// Without a watch on the directory, it is read at every check: cheap, since
// only what may be a keyboard and is not held yet is ever opened.
void checkHotplug()
{
    ++hotplugChecks;
    rescanPending = hotplug.check(offerChanged) || rescanPending || !hotplug.watching();
    if (rescanPending) {
        bool denied = false;
        rescanPending = scanInputDirectory(denied) != 0;  // out of descriptors: next time
    }
    // From the back, on a copy of the node: one taken now leaves the list,
    // and the last one, offered already, takes its place.
    for (std::size_t i = waitingNodes.size(); i-- > 0;) {
        const WaitingNode node = waitingNodes[i];
        if (node.triedAt != hotplugChecks)
            offer(node.name);
    }
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
    // Watch before the scan, so no keyboard slips in between the two.
    const int watchError = hotplug.start();
    bool denied = false;
    if (const int error = scanInputDirectory(denied))
        return fail(failure, readContext, std::strerror(error), hintFor(error));
    if (keyboards.size() == 0 && denied)
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
    keyboards.readKeys(keysDown);
}

bool keyIsDown(VirtualKeyCode code)
{
    return evdev::bitIsSet(keysDown, evdev::keyBitmapWords, evdev::linuxKeyFor(code));
}
