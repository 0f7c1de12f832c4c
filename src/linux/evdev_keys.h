// Pure helpers for reading modifier keys from evdev: the mapping from the
// watcher's macOS key codes to Linux key codes, and tests on the kernel's
// key bitmaps. The kernel fills these as arrays of unsigned long: key N is
// bit N % bits-per-long of word N / bits-per-long, on either byte order.
#pragma once

#include <climits>
#include <cstddef>

#include "../watched_keys.h"

namespace evdev {

inline constexpr std::size_t bitsPerLong = sizeof(unsigned long) * CHAR_BIT;

// Words of a key bitmap that hold every key the watcher cares about.
inline constexpr std::size_t keyBitmapWords = (128 + bitsPerLong - 1) / bitsPerLong;
using KeyBitmap = unsigned long[keyBitmapWords];

inline constexpr int noKey = -1;

// The Linux key code (KEY_*) for a macOS virtual key code, or noKey.
int linuxKeyFor(VirtualKeyCode code);

// True if bit `key` is set in a bitmap of `words` unsigned longs.
bool bitIsSet(const unsigned long* bitmap, std::size_t words, int key);

// True if a device's EV_KEY capability bitmap has any of the eight modifiers:
// the devices the watcher treats as keyboards.
bool hasModifierKey(const unsigned long* capabilities, std::size_t words);

// Reads a capability bitmap as sysfs shows it (capabilities/key): the words
// in hex, separated by spaces, the most significant first and leading zero
// words left out, so the last word written is word 0. A word is as wide as
// the reader's unsigned long. Fills `words` (higher words are dropped);
// false if the text is empty or not such a list.
bool parseCapabilityWords(const char* text, unsigned long* words, std::size_t count);

}  // namespace evdev
