// Pure helpers for reading modifier keys from evdev: the mapping from the
// watcher's macOS key codes to Linux key codes, and tests on the kernel's
// key bitmaps (bit N of byte N/8 set means key N).
#pragma once

#include <cstddef>
#include <cstdint>

#include "../watched_keys.h"

namespace evdev {

// Bytes of a key bitmap that hold every key the watcher cares about.
inline constexpr std::size_t keyBitmapBytes = 16;
using KeyBitmap = std::uint8_t[keyBitmapBytes];

inline constexpr int noKey = -1;

// The Linux key code (KEY_*) for a macOS virtual key code, or noKey.
int linuxKeyFor(VirtualKeyCode code);

// True if bit `key` is set in a bitmap of `size` bytes.
bool bitIsSet(const std::uint8_t* bitmap, std::size_t size, int key);

// True if a device's EV_KEY capability bitmap has any of the eight modifiers:
// the devices the watcher treats as keyboards.
bool hasModifierKey(const std::uint8_t* capabilities, std::size_t size);

}  // namespace evdev
