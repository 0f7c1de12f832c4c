// A keyboard made through /dev/uinput inside the test guest: it appears as a
// real evdev device, and its keys are pressed by writing input events.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

namespace guest {

class VirtualKeyboard {
public:
    explicit VirtualKeyboard(const std::string& name = "orvel test keyboard");
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
    std::string node() const;

private:
    int fd_;
};

}  // namespace guest
