#include "watch_loop.h"

#include <gtest/gtest.h>

#include <vector>

#include "captured_output.h"
#include "fake_key_state.h"

namespace {

class WatchLoop : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    void TearDown() override { fake::reset(); }

    // One pass; returns what it wrote.
    std::string pass()
    {
        EXPECT_EQ(watchPass(keys, output.handle()), 0);
        return output.take();
    }

    WatchedKeyTable keys = makeWatchedKeys();
    CapturedOutput output;
};

TEST_F(WatchLoop, WritesNothingWhileNoKeyIsDown)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pass(), "");
}

TEST_F(WatchLoop, AsksEveryTableKeyOncePerPassInTableOrder)
{
    pass();
    pass();
    std::vector<VirtualKeyCode> expected;
    for (int i = 0; i < 2; ++i)
        for (const WatchedKey& key : keys)
            expected.push_back(key.code);
    EXPECT_EQ(fake::queries(), expected);
    EXPECT_EQ(fake::passes(), 2);
}

TEST_F(WatchLoop, KeyHeldAtStartIsReportedInTheFirstPass)
{
    fake::setDown(kVK_RightCommand, true);
    EXPECT_EQ(pass(), "D cmd_right\n");
    EXPECT_EQ(pass(), "");
    fake::setDown(kVK_RightCommand, false);
    EXPECT_EQ(pass(), "U cmd_right\n");
}

TEST_F(WatchLoop, ChangesOfOnePassComeOutInTableOrder)
{
    for (VirtualKeyCode code : {kVK_RightCommand, kVK_RightOption, kVK_Control, kVK_Shift})
        fake::setDown(code, true);
    EXPECT_EQ(pass(), "D shift\nD ctrl\nD alt\nD cmd_right\n");
    fake::setDown(kVK_Shift, false);
    fake::setDown(kVK_Command, true);
    fake::setDown(kVK_RightCommand, false);
    EXPECT_EQ(pass(), "U shift\nD cmd_left\nU cmd_right\n");
}

TEST_F(WatchLoop, BothShiftKeysAreSeparateEntriesUnderOneName)
{
    fake::setDown(kVK_Shift, true);
    fake::setDown(kVK_RightShift, true);
    EXPECT_EQ(pass(), "D shift\nD shift\n");
    fake::setDown(kVK_Shift, false);
    EXPECT_EQ(pass(), "U shift\n");
    EXPECT_FALSE(keys[0].lastState);
    EXPECT_TRUE(keys[4].lastState);
    fake::setDown(kVK_RightShift, false);
    EXPECT_EQ(pass(), "U shift\n");
}

TEST_F(WatchLoop, LinesAlternatePerKeyAndMissBlipsBetweenSamples)
{
    std::string written;
    const bool states[] = {true, true, false, false, true, false};
    for (bool down : states) {
        fake::setDown(kVK_Option, down);
        written += pass();
    }
    // Pressed and released again before the next pass: nothing to report.
    fake::setDown(kVK_Option, true);
    fake::setDown(kVK_Option, false);
    written += pass();
    EXPECT_EQ(written, "D alt\nU alt\nD alt\nU alt\n");
}

TEST_F(WatchLoop, LoopDoesNotStartAPassOnceStopped)
{
    shouldRun.store(false);
    EXPECT_EQ(watchLoop(keys, output.handle()), 0);
    EXPECT_EQ(fake::passes(), 0);
}

}  // namespace
