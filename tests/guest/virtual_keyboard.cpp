#include "virtual_keyboard.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace guest {

namespace {

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void control(int fd, unsigned long request, long argument, const char* what)
{
    if (ioctl(fd, request, argument) < 0)
        fail(what);
}

}  // namespace

VirtualKeyboard::VirtualKeyboard(const std::string& name)
    : fd_(open("/dev/uinput", O_WRONLY | O_CLOEXEC))
{
    if (fd_ < 0)
        fail("open /dev/uinput");
    control(fd_, UI_SET_EVBIT, EV_KEY, "UI_SET_EVBIT");
    control(fd_, UI_SET_EVBIT, EV_SYN, "UI_SET_EVBIT");
    // Every key of a full-size keyboard: letters, modifiers, function keys.
    for (int key = KEY_ESC; key <= KEY_MICMUTE; ++key)
        control(fd_, UI_SET_KEYBIT, key, "UI_SET_KEYBIT");
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x0e1f;
    setup.id.product = 0x0001;
    std::strncpy(setup.name, name.c_str(), UINPUT_MAX_NAME_SIZE - 1);
    if (ioctl(fd_, UI_DEV_SETUP, &setup) < 0)
        fail("UI_DEV_SETUP");
    control(fd_, UI_DEV_CREATE, 0, "UI_DEV_CREATE");
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
    ioctl(fd_, UI_DEV_DESTROY);
    close(fd_);
    fd_ = -1;
}

std::string VirtualKeyboard::node() const
{
    char sysname[64] = {};
    if (ioctl(fd_, UI_GET_SYSNAME(sizeof sysname), sysname) < 0)
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

}  // namespace guest
