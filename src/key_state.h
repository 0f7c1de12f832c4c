// The one platform operation the watcher needs: is this key down in the
// system-wide hardware key state? Each platform implements it in a file of its
// own; tests link a fake.
#pragma once

#include "watched_keys.h"

// Why the key state source cannot be used: printed as "context: reason".
struct KeyStateFailure {
    const char* context = "";
    const char* reason = "";
    const char* hint = nullptr;  // one line of advice, for permission problems
};

// Opens the key state source once, at start-up. On failure fills `failure`
// and returns false; nothing has been written anywhere.
bool openKeyState(KeyStateFailure& failure);

// Called at the start of every pass over the table, so a platform that reads
// all keys at once reads them once per pass.
void beginKeyStatePass();

// True while the key with this virtual key code is physically down.
bool keyIsDown(VirtualKeyCode code);
