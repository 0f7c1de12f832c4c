// The orderly stop on Windows: Ctrl-C, Ctrl-Break and the closing of the
// console window reach a console control handler, which Windows runs on a
// thread of its own. It clears the run flag and wakes the pause; the loop
// ends after the pass under way and main returns 0.
#include <windows.h>

#include "../stop.h"
#include "../watch_loop.h"
#include "stop_event.h"

namespace {

// For the closing console, Windows ends the process as soon as the handler
// returns (and after about 5 s in any case), so the handler waits for main
// to return, which ends the process and this wait with it.
constexpr DWORD closeWaitMilliseconds = 4000;

HANDLE stopEventHandle = nullptr;

}  // namespace

BOOL WINAPI onConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    shouldRun.store(false);
    SetEvent(stopEvent());
    if (event == CTRL_CLOSE_EVENT)
        Sleep(closeWaitMilliseconds);
    return TRUE;
}

HANDLE stopEvent()
{
    if (!stopEventHandle)
        stopEventHandle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return stopEventHandle;
}

void installStopHandlers()
{
    stopEvent();
    // A child started in a new process group has Ctrl-C turned off, as a
    // blocked signal would be on POSIX; it is turned on again (Ctrl-Break,
    // which such a parent sends, always arrives).
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}
