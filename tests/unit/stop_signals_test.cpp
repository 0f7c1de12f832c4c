#include "stop.h"

#include <gtest/gtest.h>

#include <csignal>

#include "captured_output.h"
#include "fake_key_state.h"
#include "watch_loop.h"

namespace {

struct sigaction dispositionOf(int signalNumber)
{
    struct sigaction action {};
    sigaction(signalNumber, nullptr, &action);
    return action;
}

class StopSignals : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::reset();
        shouldRun.store(true);
        installStopHandlers();
    }
    void TearDown() override { fake::reset(); }

    WatchedKeyTable keys = makeWatchedKeys();
    CapturedOutput output;
};

TEST_F(StopSignals, SignalMidPassLetsThatPassFinishThenEndsTheLoop)
{
    for (const WatchedKey& key : keys)
        fake::setDown(key.code, true);
    fake::onQuery = [](VirtualKeyCode code) {
        if (code == kVK_Option)
            std::raise(SIGINT);
    };
    EXPECT_EQ(watchLoop(keys, output.handle()), 0);
    EXPECT_EQ(fake::passes(), 1);
    EXPECT_EQ(output.take(),
              "D shift\nD ctrl\nD alt\nD cmd_left\nD shift\nD ctrl\nD alt\nD cmd_right\n");
}

TEST_F(StopSignals, EitherSignalClearsTheFlagAndRepeatsChangeNothing)
{
    for (int first : {SIGINT, SIGTERM}) {
        shouldRun.store(true);
        std::raise(first);
        EXPECT_FALSE(shouldRun.load());
        std::raise(SIGTERM);
        std::raise(SIGINT);
        EXPECT_FALSE(shouldRun.load());
    }
}

TEST_F(StopSignals, HandlersStayInstalledAndResumeInterruptedCalls)
{
    std::raise(SIGINT);
    std::raise(SIGTERM);
    for (int signalNumber : {SIGINT, SIGTERM}) {
        const struct sigaction action = dispositionOf(signalNumber);
        EXPECT_NE(action.sa_handler, SIG_DFL);
        EXPECT_NE(action.sa_handler, SIG_IGN);
        // As unsigned: glibc's SA_RESETHAND is 0x80000000, beyond an int.
        const auto flags = static_cast<unsigned>(action.sa_flags);
        EXPECT_TRUE(flags & SA_RESTART);
        EXPECT_FALSE(flags & SA_RESETHAND);
    }
}

TEST(StopSignalsScope, StopSignalsBlockedByTheParentAreUnblocked)
{
    sigset_t blocked, now;
    sigemptyset(&blocked);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&blocked, signalNumber);
    sigprocmask(SIG_BLOCK, &blocked, nullptr);
    installStopHandlers();
    sigprocmask(SIG_UNBLOCK, nullptr, &now);
    EXPECT_FALSE(sigismember(&now, SIGINT));
    EXPECT_FALSE(sigismember(&now, SIGTERM));
    EXPECT_TRUE(sigismember(&now, SIGHUP)) << "only the stop signals are the watcher's";
    sigprocmask(SIG_UNBLOCK, &blocked, nullptr);
}

TEST(StopSignalsScope, OtherSignalsKeepTheDispositionTheProcessStartedWith)
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGHUP, SIG_DFL);
    installStopHandlers();
    EXPECT_EQ(dispositionOf(SIGPIPE).sa_handler, SIG_IGN);
    EXPECT_EQ(dispositionOf(SIGHUP).sa_handler, SIG_DFL);
    std::signal(SIGPIPE, SIG_DFL);
}

}  // namespace
