#include "linux/evdev_keys.h"

#include <linux/input-event-codes.h>

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

// A bitmap with just these bits set.
struct Bitmap {
    Bitmap(std::initializer_list<int> keys)
    {
        for (int key : keys)
            bytes[key / 8] |= static_cast<std::uint8_t>(1u << (key % 8));
    }
    evdev::KeyBitmap bytes{};
};

TEST(EvdevKeys, EveryWatchedKeyMapsToItsLinuxModifier)
{
    EXPECT_EQ(evdev::linuxKeyFor(kVK_Shift), KEY_LEFTSHIFT);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_Control), KEY_LEFTCTRL);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_Option), KEY_LEFTALT);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_Command), KEY_LEFTMETA);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_RightShift), KEY_RIGHTSHIFT);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_RightControl), KEY_RIGHTCTRL);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_RightOption), KEY_RIGHTALT);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_RightCommand), KEY_RIGHTMETA);
}

TEST(EvdevKeys, CodesOutsideTheTableMapToNoKey)
{
    // 0x39 is Caps Lock on macOS, 0x00 the letter A; neither is watched.
    EXPECT_EQ(evdev::linuxKeyFor(0x39), evdev::noKey);
    EXPECT_EQ(evdev::linuxKeyFor(0x00), evdev::noKey);
    EXPECT_EQ(evdev::linuxKeyFor(KEY_RIGHTMETA), evdev::noKey);
}

TEST(EvdevKeys, BitTestReadsTheKernelLayoutAndStaysInBounds)
{
    const Bitmap keys{KEY_RIGHTSHIFT, KEY_RIGHTMETA};
    EXPECT_TRUE(evdev::bitIsSet(keys.bytes, sizeof keys.bytes, KEY_RIGHTSHIFT));
    EXPECT_TRUE(evdev::bitIsSet(keys.bytes, sizeof keys.bytes, KEY_RIGHTMETA));
    EXPECT_FALSE(evdev::bitIsSet(keys.bytes, sizeof keys.bytes, KEY_RIGHTSHIFT - 1));
    EXPECT_FALSE(evdev::bitIsSet(keys.bytes, sizeof keys.bytes, KEY_RIGHTSHIFT + 1));
    EXPECT_FALSE(evdev::bitIsSet(keys.bytes, sizeof keys.bytes, evdev::noKey));
    EXPECT_FALSE(evdev::bitIsSet(keys.bytes, 4, KEY_RIGHTSHIFT));  // past a short bitmap
}

TEST(EvdevKeys, KeyboardsAreDevicesWithAnyModifier)
{
    EXPECT_FALSE(evdev::hasModifierKey(Bitmap{}.bytes, sizeof(evdev::KeyBitmap)));
    // A mouse's buttons and a keypad's keys are not modifiers.
    EXPECT_FALSE(evdev::hasModifierKey(Bitmap{KEY_A, KEY_CAPSLOCK, KEY_KP0}.bytes,
                                       sizeof(evdev::KeyBitmap)));
    EXPECT_TRUE(evdev::hasModifierKey(Bitmap{KEY_RIGHTALT}.bytes, sizeof(evdev::KeyBitmap)));
    EXPECT_TRUE(evdev::hasModifierKey(Bitmap{KEY_A, KEY_LEFTMETA}.bytes, sizeof(evdev::KeyBitmap)));
}

}  // namespace
