#include "virtual_keyboard.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "linux/ioctl_request.h"

namespace guest {

namespace {

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void control(int fd, unsigned long request, long argument, const char* what)
{
    if (ioctl(fd, evdev::ioctlRequest(request), argument) < 0)
        fail(what);
}

// The evdev node of the uinput device behind `fd`, as sysfs names it.
std::string eventNodeOf(int fd)
{
    char sysname[64] = {};
    if (ioctl(fd, evdev::ioctlRequest(UI_GET_SYSNAME(sizeof sysname)), sysname) < 0)
        fail("UI_GET_SYSNAME");
    const std::string folder = std::string("/sys/devices/virtual/input/") + sysname;
    DIR* directory = opendir(folder.c_str());
    if (!directory)
        fail("open " + folder);
    std::string node;
    while (const dirent* entry = readdir(directory))
        if (std::strncmp(entry->d_name, "event", 5) == 0)
            node = std::string("/dev/input/") + entry->d_name;
    closedir(directory);
    if (node.empty())
        throw std::runtime_error(folder + " has no event node");
    return node;
}

}  // namespace

VirtualKeyboard::VirtualKeyboard(const std::string& name, DeviceKind kind)
    : fd_(open("/dev/uinput", O_WRONLY | O_CLOEXEC))
{
    if (fd_ < 0)
        fail("open /dev/uinput");
    control(fd_, UI_SET_EVBIT, EV_KEY, "UI_SET_EVBIT");
    control(fd_, UI_SET_EVBIT, EV_SYN, "UI_SET_EVBIT");
    if (kind == DeviceKind::keyboard) {
        // Every key of a full-size keyboard: letters, modifiers, function keys.
        for (int key = KEY_ESC; key <= KEY_MICMUTE; ++key)
            control(fd_, UI_SET_KEYBIT, key, "UI_SET_KEYBIT");
    } else {
        for (int button : {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE})
            control(fd_, UI_SET_KEYBIT, button, "UI_SET_KEYBIT");
        control(fd_, UI_SET_EVBIT, EV_REL, "UI_SET_EVBIT");
        for (int axis : {REL_X, REL_Y, REL_WHEEL})
            control(fd_, UI_SET_RELBIT, axis, "UI_SET_RELBIT");
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x0e1f;
    setup.id.product = 0x0001;
    std::strncpy(setup.name, name.c_str(), UINPUT_MAX_NAME_SIZE - 1);
    if (ioctl(fd_, evdev::ioctlRequest(UI_DEV_SETUP), &setup) < 0)
        fail("UI_DEV_SETUP");
    control(fd_, UI_DEV_CREATE, 0, "UI_DEV_CREATE");
    node_ = eventNodeOf(fd_);
}

VirtualKeyboard::~VirtualKeyboard()
{
    unplug();
}

void VirtualKeyboard::send(std::initializer_list<std::pair<int, int>> keys)
{
    std::vector<input_event> events;
    for (const auto& [key, value] : keys) {
        input_event event{};
        event.type = EV_KEY;
        event.code = static_cast<unsigned short>(key);
        event.value = value;
        events.push_back(event);
    }
    input_event report{};
    report.type = EV_SYN;
    report.code = SYN_REPORT;
    events.push_back(report);
    const auto size = static_cast<ssize_t>(events.size() * sizeof(input_event));
    if (write(fd_, events.data(), static_cast<size_t>(size)) != size)
        fail("write key events");
}

void VirtualKeyboard::unplug()
{
    if (fd_ < 0)
        return;
    ioctl(fd_, evdev::ioctlRequest(UI_DEV_DESTROY));
    close(fd_);
    fd_ = -1;
}

Devices plugIn(int count, const std::string& name, DeviceKind kind)
{
    Devices plugged;
    for (int i = 0; i < count; ++i)
        plugged.push_back(std::make_unique<VirtualKeyboard>(name + " " + std::to_string(i), kind));
    return plugged;
}

void repermission(const Devices& devices, int rounds)
{
    for (int round = 0; round < rounds; ++round)
        for (const auto& device : devices)
            if (chmod(device->node().c_str(), round % 2 == 0 ? 0660 : 0600) != 0)
                fail("chmod " + device->node());
}

}  // namespace guest
