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
bool rescanPending = false;

// Nodes that could not be opened for want of a descriptor: each was named
// once on stderr, and each is tried again at every hot-plug check.
struct NodeName {
    char text[32];
};
evdev::GrowingArray<NodeName> waitingNodes;

bool isEventNode(const char* name)
{
    return std::strncmp(name, "event", 5) == 0;
}

// The node's place in waitingNodes, or its size if it is not there.
std::size_t waitingIndexOf(const char* name)
{
    std::size_t index = 0;
    while (index < waitingNodes.size() && std::strcmp(waitingNodes[index].text, name) != 0)
        ++index;
    return index;
}

// Offers one node of the input directory to the keyboard set, if it is an
// event node; true if the user may not open it.
bool offer(const char* name)
{
    if (!isEventNode(name))
        return false;
    const auto result = keyboards.add(inputDirectory, name);
    const int error = errno;
    const std::size_t waiting = waitingIndexOf(name);
    if (result != evdev::KeyboardSet::AddResult::noDescriptor) {
        if (waiting < waitingNodes.size())
            waitingNodes.removeAt(waiting);
        return result == evdev::KeyboardSet::AddResult::denied;
    }
    if (waiting < waitingNodes.size())
        return false;  // named already
    char what[64];
    std::snprintf(what, sizeof what, "cannot watch %s/%s", inputDirectory, name);
    report(what, std::strerror(error));
    NodeName node;
    if (std::strlen(name) < sizeof node.text) {
        std::strcpy(node.text, name);
        waitingNodes.push(node);
    }
    return false;
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

void checkHotplug()
{
    rescanPending = hotplug.drain(offerChanged) || rescanPending;
    if (rescanPending) {
        bool denied = false;
        rescanPending = scanInputDirectory(denied) != 0;  // out of descriptors: next time
    }
    // From the back, on a copy of the name: a node taken now leaves the list,
    // and the last one takes its place.
    for (std::size_t i = waitingNodes.size(); i-- > 0;) {
        const NodeName node = waitingNodes[i];
        offer(node.text);
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
// unreadable, or no keyboard taken and some node refused to this user. With
// no keyboard attached yet it starts all the same and waits for one.
bool openKeyState(KeyStateFailure& failure)
{
    // Watch before the scan, so no keyboard slips in between the two.
    if (const int error = hotplug.start())
        return fail(failure, readContext, std::strerror(error), hintFor(error));
    bool denied = false;
    if (const int error = scanInputDirectory(denied))
        return fail(failure, readContext, std::strerror(error), hintFor(error));
    if (keyboards.size() == 0 && denied)
        return fail(failure, readContext, std::strerror(EACCES), permissionHint);
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
