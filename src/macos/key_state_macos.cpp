// Key state on macOS: CoreGraphics' view of the system-wide hardware key
// state, whichever application has the focus. The query has no failure
// result, so there is nothing to open.
#include <CoreGraphics/CoreGraphics.h>

#include <type_traits>

#include "../key_state.h"

static_assert(std::is_same_v<VirtualKeyCode, CGKeyCode>,
              "the watcher's key codes are CoreGraphics virtual key codes");

bool openKeyState(KeyStateFailure&)
{
    return true;
}

void beginKeyStatePass() {}

bool keyIsDown(VirtualKeyCode code)
{
    return CGEventSourceKeyState(kCGEventSourceStateHIDSystemState, code);
}
