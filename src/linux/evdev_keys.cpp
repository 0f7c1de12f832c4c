#include "evdev_keys.h"

#include <linux/input-event-codes.h>

#include <array>

namespace evdev {

namespace {

struct KeyPair {
    VirtualKeyCode mac;
    int kernel;
};

// The numbers overlap between the two systems (54 is right Command on macOS
// but right Shift on Linux), so every code goes through this table.
constexpr std::array<KeyPair, watchedKeyCount> keyMap{{
    {kVK_Shift, KEY_LEFTSHIFT},
    {kVK_Control, KEY_LEFTCTRL},
    {kVK_Option, KEY_LEFTALT},
    {kVK_Command, KEY_LEFTMETA},
    {kVK_RightShift, KEY_RIGHTSHIFT},
    {kVK_RightControl, KEY_RIGHTCTRL},
    {kVK_RightOption, KEY_RIGHTALT},
    {kVK_RightCommand, KEY_RIGHTMETA},
}};

static_assert(KEY_RIGHTMETA < keyBitmapWords * bitsPerLong, "bitmap too small for the modifiers");

}  // namespace

int linuxKeyFor(VirtualKeyCode code)
{
    for (const KeyPair& pair : keyMap)
        if (pair.mac == code)
            return pair.kernel;
    return noKey;
}

bool bitIsSet(const unsigned long* bitmap, std::size_t words, int key)
{
    if (key < 0)
        return false;
    const auto bit = static_cast<std::size_t>(key);
    if (bit / bitsPerLong >= words)
        return false;
    return (bitmap[bit / bitsPerLong] >> (bit % bitsPerLong)) & 1ul;
}

bool hasModifierKey(const unsigned long* capabilities, std::size_t words)
{
    for (const KeyPair& pair : keyMap)
        if (bitIsSet(capabilities, words, pair.kernel))
            return true;
    return false;
}

}  // namespace evdev
