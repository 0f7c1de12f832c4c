// The Windows virtual keys behind the watcher's macOS key codes: the ones
// that tell left from right (VK_LSHIFT, VK_RSHIFT, ...), which
// GetAsyncKeyState answers for.
#pragma once

#include "../watched_keys.h"

namespace windows {

inline constexpr int noVirtualKey = 0;

// The Windows virtual key for a macOS virtual key code, or noVirtualKey.
int virtualKeyFor(VirtualKeyCode code);

}  // namespace windows
