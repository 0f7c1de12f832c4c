// What is Windows' own: the virtual keys, the output's errors, and the stop
// that a console control event requests.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "pause.h"
#include "stop.h"
#include "watch_loop.h"
#include "windows/stop_event.h"
#include "windows/virtual_keys.h"

namespace {

TEST(Windows, EveryWatchedKeyMapsToItsSidedVirtualKey)
{
    const int expected[] = {VK_LSHIFT, VK_LCONTROL, VK_LMENU, VK_LWIN,
                            VK_RSHIFT, VK_RCONTROL, VK_RMENU, VK_RWIN};
    const WatchedKeyTable keys = makeWatchedKeys();
    for (std::size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(windows::virtualKeyFor(keys[i].code), expected[i]) << keys[i].name;
    // Caps Lock and A on macOS, and a Windows code that is no macOS one.
    for (VirtualKeyCode code :
         {VirtualKeyCode{0x39}, VirtualKeyCode{0x00}, VirtualKeyCode{VK_LSHIFT}})
        EXPECT_EQ(windows::virtualKeyFor(code), windows::noVirtualKey) << code;
}

TEST(Windows, AFailedWriteGivesTheSystemsReasonInOneLine)
{
    EXPECT_EQ(writeAll(INVALID_HANDLE_VALUE, "D shift\n", 8),
              static_cast<int>(ERROR_INVALID_HANDLE));
    // The system's own words ("The handle is invalid."; Wine has its own),
    // as one line without its full stop.
    const std::string reason = describeOutputError(ERROR_INVALID_HANDLE);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos) << reason;
    EXPECT_NE(reason.back(), '.') << reason;
}

// Ctrl-C and Ctrl-Break clear the flag and wake the pause; other events
// (a logoff, a shutdown) are left to the next handler.
TEST(Windows, ConsoleControlStopsForCtrlCAndCtrlBreakOnly)
{
    installStopHandlers();
    // Removing a handler that was never added fails: this one was added.
    ASSERT_TRUE(SetConsoleCtrlHandler(onConsoleControl, FALSE)) << "no handler installed";
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    for (DWORD event : {DWORD{CTRL_C_EVENT}, DWORD{CTRL_BREAK_EVENT}}) {
        shouldRun.store(true);
        ResetEvent(stopEvent());
        EXPECT_TRUE(onConsoleControl(event));
        EXPECT_FALSE(shouldRun.load());
        EXPECT_EQ(WaitForSingleObject(stopEvent(), 0), WAIT_OBJECT_0);
    }
    shouldRun.store(true);
    EXPECT_FALSE(onConsoleControl(CTRL_LOGOFF_EVENT));
    EXPECT_TRUE(shouldRun.load());
}

// A pause never ends early, and a stop request ends one at once: five
// pauses after a stop take less time than one before it.
TEST(Windows, PauseLastsTwelveMillisecondsUntilAStopIsRequested)
{
    installStopHandlers();
    ResetEvent(stopEvent());
    const auto timed = [] {
        const auto start = std::chrono::steady_clock::now();
        pauseBetweenPasses();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    };
    const double pause = timed();
    EXPECT_GE(pause, 11.9);
    SetEvent(stopEvent());
    double afterStop = 0;
    for (int i = 0; i < 5; ++i)
        afterStop += timed();
    EXPECT_LT(afterStop, pause) << "five pauses after a stop, against one before it";
}

}  // namespace
