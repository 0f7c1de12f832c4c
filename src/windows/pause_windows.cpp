// The pause on Windows: 12 ms on a high-resolution waitable timer, not
// Sleep(12), which waits for the system timer's next tick (15.6 ms by
// default). Before Windows 10 1803, where there is no high-resolution timer,
// the system timer is set to 1 ms for the watcher's life and a plain
// waitable timer is used. The wait ends at once when a stop is requested.
#include <windows.h>

#include <mmsystem.h>

#include "../pause.h"
#include "stop_event.h"

namespace {

// Windows 10 1803 and later; older MinGW headers lack the name.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

HANDLE makeTimer()
{
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    if (timer)
        return timer;
    timeBeginPeriod(1);
    return CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
}

HANDLE timer = nullptr;
bool timerMade = false;

}  // namespace

void pauseBetweenPasses()
{
    if (!timerMade) {  // once, at the first pause
        timer = makeTimer();
        timerMade = true;
    }
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(pauseMicroseconds) * 10;  // relative, in 100 ns
    const HANDLE wakers[] = {timer, stopEvent()};
    if (timer && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE))
        WaitForMultipleObjects(2, wakers, FALSE, INFINITE);
    else
        WaitForSingleObject(stopEvent(), pauseMicroseconds / 1000);  // no timer at all
}
