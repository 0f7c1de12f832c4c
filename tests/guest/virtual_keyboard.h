// A keyboard made through /dev/uinput inside the test guest: it appears as a
// real evdev device, and its keys are pressed by writing input events. A
// mouse (buttons and motion, no keys) stands for every other input device.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace guest {

enum class DeviceKind { keyboard, mouse };

class VirtualKeyboard {
public:
    explicit VirtualKeyboard(const std::string& name = "orvel test keyboard",
                             DeviceKind kind = DeviceKind::keyboard);
    ~VirtualKeyboard();
    VirtualKeyboard(const VirtualKeyboard&) = delete;
    VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

    void press(int key) { send({{key, 1}}); }
    void release(int key) { send({{key, 0}}); }
    // Key events (key, 1 for down, 0 for up) in one write, with one report.
    void send(std::initializer_list<std::pair<int, int>> keys);

    // The device goes away, as when a keyboard is pulled out.
    void unplug();

    // The device's evdev node, such as /dev/input/event3.
    const std::string& node() const { return node_; }

private:
    int fd_;
    std::string node_;
};

using Devices = std::vector<std::unique_ptr<VirtualKeyboard>>;

// Plugs in `count` devices named "NAME 0", "NAME 1", ...
Devices plugIn(int count, const std::string& name, DeviceKind kind = DeviceKind::keyboard);

// Changes the permissions of every device's node `rounds` times, as udev and
// logind do at every plug-in and session switch.
void repermission(const Devices& devices, int rounds);

}  // namespace guest
