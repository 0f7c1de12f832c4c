// Key state on Linux: the kernel's evdev devices, asked on demand. Every
// keyboard under /dev/input is held open; keyboards plugged in later are
// found through inotify, checked every few passes without blocking.
#include <dirent.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "../key_state.h"
#include "evdev_keys.h"
#include "keyboard_set.h"

namespace {

constexpr const char* inputDirectory = "/dev/input";
constexpr const char* permissionHint =
    "run it as root, or add the user to the 'input' group and log in again";

// About every 0.4 s: soon enough for a keyboard just plugged in, rare enough
// to cost nothing while idle.
constexpr unsigned passesPerHotplugCheck = 32;

evdev::KeyboardSet keyboards;
evdev::KeyBitmap keysDown;
int hotplugFd = -1;
unsigned passesSinceHotplugCheck = 0;

bool isEventNode(const char* name)
{
    return std::strncmp(name, "event", 5) == 0;
}

// Opens every keyboard in the directory. Returns 0, or errno when the
// directory cannot be read; `denied` tells whether any node was refused.
int scanInputDirectory(bool& denied)
{
    DIR* directory = opendir(inputDirectory);
    if (!directory)
        return errno;
    while (const dirent* entry = readdir(directory)) {
        if (!isEventNode(entry->d_name))
            continue;
        if (keyboards.add(inputDirectory, entry->d_name) == evdev::KeyboardSet::AddResult::failed &&
            (errno == EACCES || errno == EPERM))
            denied = true;
    }
    closedir(directory);
    return 0;
}

void applyHotplugEvent(const inotify_event& event)
{
    if (event.mask & IN_Q_OVERFLOW) {
        bool denied = false;
        scanInputDirectory(denied);
        return;
    }
    if (event.len == 0 || !isEventNode(event.name))
        return;
    if (event.mask & IN_DELETE)
        keyboards.remove(event.name);
    else
        keyboards.add(inputDirectory, event.name);  // created, or now readable
}

void drainHotplugEvents()
{
    alignas(inotify_event) char buffer[4096];
    ssize_t length;
    while ((length = read(hotplugFd, buffer, sizeof buffer)) > 0) {
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            applyHotplugEvent(*event);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
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

}  // namespace

bool openKeyState(KeyStateFailure& failure)
{
    constexpr const char* readContext = "cannot read any keyboard in /dev/input";
    hotplugFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (hotplugFd < 0)
        return fail(failure, "cannot watch /dev/input for keyboards", std::strerror(errno));
    // Watch before the scan, so no keyboard slips in between the two.
    if (inotify_add_watch(hotplugFd, inputDirectory, IN_CREATE | IN_ATTRIB | IN_DELETE) < 0)
        return fail(failure, readContext, std::strerror(errno));

    bool denied = false;
    if (const int error = scanInputDirectory(denied))
        return fail(failure, readContext, std::strerror(error));
    if (keyboards.size() == 0 && denied)
        return fail(failure, readContext, std::strerror(EACCES), permissionHint);
    if (keyboards.size() == 0)
        return fail(failure, readContext, "no keyboard found");
    return true;
}

void beginKeyStatePass()
{
    if (++passesSinceHotplugCheck == passesPerHotplugCheck) {
        passesSinceHotplugCheck = 0;
        drainHotplugEvents();
    }
    keyboards.readKeys(keysDown);
}

bool keyIsDown(VirtualKeyCode code)
{
    return evdev::bitIsSet(keysDown, sizeof keysDown, evdev::linuxKeyFor(code));
}
