#include "virtual_keys.h"

#include <windows.h>

#include <array>

namespace windows {

namespace {

struct KeyPair {
    VirtualKeyCode mac;
    int windows;
};

// The numbers overlap between the two systems, so every code goes through
// this table. The Command keys are the Windows keys.
constexpr std::array<KeyPair, watchedKeyCount> keyMap{{
    {kVK_Shift, VK_LSHIFT},
    {kVK_Control, VK_LCONTROL},
    {kVK_Option, VK_LMENU},
    {kVK_Command, VK_LWIN},
    {kVK_RightShift, VK_RSHIFT},
    {kVK_RightControl, VK_RCONTROL},
    {kVK_RightOption, VK_RMENU},
    {kVK_RightCommand, VK_RWIN},
}};

}  // namespace

int virtualKeyFor(VirtualKeyCode code)
{
    for (const KeyPair& pair : keyMap)
        if (pair.mac == code)
            return pair.windows;
    return noVirtualKey;
}

}  // namespace windows
