// Key state on Windows: GetAsyncKeyState, the system-wide state of a key
// whichever window has the focus, asked on demand. It needs no permission and
// has no failure result, so there is nothing to open. It cannot see through
// the system's walls: while a window of an elevated program has the focus, a
// watcher that is not elevated reads every key as up, and likewise while
// another desktop (a UAC prompt, the locked screen) is shown.
#include <windows.h>

#include "../key_state.h"
#include "virtual_keys.h"

bool openKeyState(KeyStateFailure&)
{
    return true;
}

void beginKeyStatePass() {}

bool keyIsDown(VirtualKeyCode code)
{
    const int key = windows::virtualKeyFor(code);
    // The high bit: down now. (The low bit, pressed since the last call, is
    // shared with every other caller and means nothing here.)
    return key != windows::noVirtualKey &&
           (static_cast<unsigned short>(GetAsyncKeyState(key)) & 0x8000u) != 0;
}
