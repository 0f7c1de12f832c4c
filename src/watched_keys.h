// The fixed set of modifier keys the watcher reports on, and what it last
// reported for each of them.
#pragma once

#include <array>
#include <cstdint>

// The platform's virtual key code (CoreGraphics' CGKeyCode: unsigned 16 bits).
// Other platforms map these codes to their own keys.
using VirtualKeyCode = std::uint16_t;

// macOS virtual key codes of the eight modifiers, under the platform's names.
inline constexpr VirtualKeyCode kVK_Command = 0x37;
inline constexpr VirtualKeyCode kVK_Shift = 0x38;
inline constexpr VirtualKeyCode kVK_Option = 0x3A;
inline constexpr VirtualKeyCode kVK_Control = 0x3B;
inline constexpr VirtualKeyCode kVK_RightCommand = 0x36;
inline constexpr VirtualKeyCode kVK_RightShift = 0x3C;
inline constexpr VirtualKeyCode kVK_RightOption = 0x3D;
inline constexpr VirtualKeyCode kVK_RightControl = 0x3E;

struct WatchedKey {
    constexpr WatchedKey(VirtualKeyCode keyCode, const char* keyName) : code(keyCode), name(keyName)
    {
    }

    const VirtualKeyCode code;
    const char* const name;  // ASCII, written in change lines
    bool lastState = false;  // state of the last change line: true is down
};

inline constexpr std::size_t watchedKeyCount = 8;
using WatchedKeyTable = std::array<WatchedKey, watchedKeyCount>;

// Builds the table, in the order of every pass. Only the Command keys carry
// their side in their names; both keys of a pair are still separate entries.
// main builds it once and keeps it for the life of the process.
WatchedKeyTable makeWatchedKeys();
