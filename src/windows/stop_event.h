// The event that a stop request sets, so that the pause under way ends at
// once: shared by the console control handler and the pause.
#pragma once

#include <windows.h>

// A manual-reset event, never reset. Made at its first use, which
// installStopHandlers makes before any handler can run.
HANDLE stopEvent();

// The console control handler that installStopHandlers installs.
BOOL WINAPI onConsoleControl(DWORD event);
