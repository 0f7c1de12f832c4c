#include "linux/evdev_keys.h"

#include <cerrno>

#include <linux/input-event-codes.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "linux/descriptors.h"
#include "linux/keyboard_set.h"
#include "linux/new_nodes.h"
#include "linux/waiting_nodes.h"

namespace {

TEST(EvdevKeys, EveryWatchedKeyMapsToItsLinuxModifier)
{
    EXPECT_EQ(evdev::linuxKeyFor(kVK_Shift), KEY_LEFTSHIFT);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_Control), KEY_LEFTCTRL);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_Option), KEY_LEFTALT);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_Command), KEY_LEFTMETA);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_RightShift), KEY_RIGHTSHIFT);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_RightControl), KEY_RIGHTCTRL);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_RightOption), KEY_RIGHTALT);
    EXPECT_EQ(evdev::linuxKeyFor(kVK_RightCommand), KEY_RIGHTMETA);
}

TEST(EvdevKeys, CodesOutsideTheTableMapToNoKey)
{
    // 0x39 is Caps Lock on macOS, 0x00 the letter A; neither is watched.
    EXPECT_EQ(evdev::linuxKeyFor(0x39), evdev::noKey);
    EXPECT_EQ(evdev::linuxKeyFor(0x00), evdev::noKey);
    EXPECT_EQ(evdev::linuxKeyFor(KEY_RIGHTMETA), evdev::noKey);
}

// The kernel's bitmaps as it fills them: unsigned longs, key N in word
// N / bits-per-long. Written out by hand for both widths of long, so the test
// does not share the code's arithmetic, and holds on either byte order.
// Right Shift is key 54, right Meta 126, left Ctrl 29; A is 30, Z 44, Caps
// Lock 58 and keypad 0 is 82.
template <std::size_t bitsPerLong> struct KernelBitmaps;

template <> struct KernelBitmaps<64> {
    unsigned long rightShiftAndMeta[2] = {0x0040000000000000ul, 0x4000000000000000ul};
    unsigned long leftCtrl[2] = {0x0000000020000000ul, 0};
    unsigned long letters[2] = {0x0400100040000000ul, 0x0000000000040000ul};
};

template <> struct KernelBitmaps<32> {
    unsigned long rightShiftAndMeta[4] = {0, 0x00400000ul, 0, 0x40000000ul};
    unsigned long leftCtrl[4] = {0x20000000ul, 0, 0, 0};
    unsigned long letters[4] = {0x40000000ul, 0x04001000ul, 0x00040000ul, 0};
};

using Bitmaps = KernelBitmaps<evdev::bitsPerLong>;
static_assert(sizeof(Bitmaps::rightShiftAndMeta) == sizeof(evdev::KeyBitmap));

TEST(EvdevKeys, BitTestReadsTheKernelLayoutAndStaysInBounds)
{
    const Bitmaps bitmaps;
    const auto isSet = [&](int key) {
        return evdev::bitIsSet(bitmaps.rightShiftAndMeta, evdev::keyBitmapWords, key);
    };
    EXPECT_TRUE(isSet(KEY_RIGHTSHIFT));
    EXPECT_TRUE(isSet(KEY_RIGHTMETA));
    for (int key = 0; key < 128; ++key) {
        if (key != KEY_RIGHTSHIFT && key != KEY_RIGHTMETA) {
            EXPECT_FALSE(isSet(key)) << "key " << key;
        }
    }
    EXPECT_FALSE(isSet(evdev::noKey));
    EXPECT_FALSE(isSet(static_cast<int>(evdev::keyBitmapWords * evdev::bitsPerLong)));
    // Past a bitmap of one word.
    EXPECT_FALSE(evdev::bitIsSet(bitmaps.rightShiftAndMeta, 1, KEY_RIGHTMETA));
}

TEST(EvdevKeys, KeyboardsAreDevicesWithAnyModifier)
{
    const Bitmaps bitmaps;
    const evdev::KeyBitmap none{};
    EXPECT_FALSE(evdev::hasModifierKey(none, evdev::keyBitmapWords));
    // Letters, Caps Lock and a keypad are no modifiers.
    EXPECT_FALSE(evdev::hasModifierKey(bitmaps.letters, evdev::keyBitmapWords));
    EXPECT_TRUE(evdev::hasModifierKey(bitmaps.leftCtrl, evdev::keyBitmapWords));
    EXPECT_TRUE(evdev::hasModifierKey(bitmaps.rightShiftAndMeta, evdev::keyBitmapWords));
}

// sysfs writes a capability bitmap most significant word first, leading zero
// words left out, each word as wide as the reader's long.
TEST(EvdevKeys, SysfsCapabilitiesAreReadFromTheLastWordUp)
{
    evdev::KeyBitmap words;
    const auto keyboard = [&](const char* text) {
        return evdev::parseCapabilityWords(text, words, evdev::keyBitmapWords) &&
               evdev::hasModifierKey(words, evdev::keyBitmapWords);
    };
    if (evdev::bitsPerLong == 64) {
        EXPECT_TRUE(keyboard("4000000000000000 0\n"));  // right Meta alone, in word 1
        EXPECT_TRUE(keyboard("1 4000000000000000 0\n"));  // a word beyond the bitmap
        EXPECT_FALSE(keyboard("1f0000 0 0 0 0\n"));  // a mouse's buttons, in word 4
        EXPECT_FALSE(keyboard("40000000 0\n"));  // key 94, no modifier
        EXPECT_TRUE(keyboard("20000000\n"));  // left Ctrl, the only word
    } else {
        EXPECT_TRUE(keyboard("40000000 0 0 0\n"));
        EXPECT_FALSE(keyboard("1f0000 0 0 0 0 0 0 0 0\n"));
        EXPECT_TRUE(keyboard("20000000\n"));
    }
    EXPECT_FALSE(keyboard("0\n"));
    for (const char* malformed : {"", "\n", "12 zz\n", "11111111111111111 0\n"})
        EXPECT_FALSE(evdev::parseCapabilityWords(malformed, words, evdev::keyBitmapWords))
            << malformed;
}

// Shortages and interrupted calls are tried again later (a signal quietly);
// a refusal is reported; anything else means the node is gone or no device.
TEST(EvdevKeys, FailuresThatPassAreTriedAgain)
{
    for (int error : {EMFILE, ENFILE, ENOMEM})
        EXPECT_EQ(evdev::resultOfFailure(error), evdev::AddResult::later) << error;
    EXPECT_EQ(evdev::resultOfFailure(EINTR), evdev::AddResult::retry);
    for (int error : {EACCES, EPERM})
        EXPECT_EQ(evdev::resultOfFailure(error), evdev::AddResult::denied) << error;
    for (int error : {ENOENT, ENODEV, ENXIO, ENOTTY})
        EXPECT_EQ(evdev::resultOfFailure(error), evdev::AddResult::passed) << error;
}

// Named once, at the first shortage, whatever held the node back before;
// kept, and offered at every later check, until it is taken.
TEST(EvdevKeys, WaitingNodesAreNamedOnceAndOfferedUntilTaken)
{
    using Kept = evdev::WaitingNodes::Kept;
    evdev::WaitingNodes waiting;
    EXPECT_EQ(waiting.keep("event3", false, 1), Kept::quietly);  // interrupted
    EXPECT_EQ(waiting.keep("event3", true, 2), Kept::nameNow);
    EXPECT_EQ(waiting.keep("event3", true, 3), Kept::quietly);
    EXPECT_EQ(waiting.keep("event4", true, 3), Kept::nameNow);
    EXPECT_EQ(waiting.size(), 2u);

    static std::vector<std::string> offered;
    offered.clear();
    waiting.offerAgain(3, [](const char* name) { offered.push_back(name); });
    EXPECT_TRUE(offered.empty()) << "offered again at the check that kept them";
    waiting.offerAgain(4, [](const char* name) { offered.push_back(name); });
    EXPECT_EQ(offered, (std::vector<std::string>{"event4", "event3"}));

    waiting.forget("event3");
    EXPECT_EQ(waiting.size(), 1u);
    EXPECT_EQ(waiting.keep("event3", true, 5), Kept::nameNow) << "a new spell of waiting";
}

// Oldest first, each name once, and no room past the capacity or for a name
// too long to keep: those are left to a reading of the whole directory.
TEST(EvdevKeys, NewNodesAreTakenOldestFirstOnceEach)
{
    evdev::NewNodes nodes;
    char name[evdev::NewNodes::nameSize];
    EXPECT_FALSE(nodes.take(name));
    EXPECT_TRUE(nodes.add("event7") && nodes.add("event2") && nodes.add("event7"));
    EXPECT_FALSE(nodes.add(std::string(evdev::NewNodes::nameSize, 'e').c_str()));
    ASSERT_TRUE(nodes.take(name));
    EXPECT_STREQ(name, "event7");
    for (std::size_t i = nodes.size(); i < evdev::NewNodes::capacity; ++i)
        EXPECT_TRUE(nodes.add(("event" + std::to_string(100 + i)).c_str()));
    EXPECT_FALSE(nodes.add("event99")) << "full";
    EXPECT_TRUE(nodes.add("event2")) << "queued already";
    ASSERT_TRUE(nodes.take(name));
    EXPECT_STREQ(name, "event2");
    EXPECT_EQ(nodes.size(), evdev::NewNodes::capacity - 1);
}

// Started with its standard streams closed, the watcher's descriptors still
// take none of their numbers.
TEST(EvdevKeys, DescriptorsStayAboveTheStandardStreams)
{
    const int savedIn = dup(STDIN_FILENO), savedOut = dup(STDOUT_FILENO);
    close(STDIN_FILENO);
    close(STDOUT_FILENO);
    DIR* directory = evdev::openDirectory("/");
    const int directoryFd = directory ? dirfd(directory) : -1;
    const int fileFd = evdev::openAbove("/", O_RDONLY);
    dup2(savedIn, STDIN_FILENO);
    dup2(savedOut, STDOUT_FILENO);
    close(savedIn);
    close(savedOut);
    ASSERT_NE(directory, nullptr);
    EXPECT_GT(directoryFd, STDERR_FILENO);
    EXPECT_GT(fileFd, STDERR_FILENO);
    EXPECT_NE(fcntl(directoryFd, F_GETFD) & FD_CLOEXEC, 0);
    closedir(directory);
    close(fileFd);
}

}  // namespace
