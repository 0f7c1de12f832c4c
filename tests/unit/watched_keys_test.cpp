#include "watched_keys.h"

#include <gtest/gtest.h>

#include <string>

TEST(WatchedKeys, TableHoldsTheEightModifiersInPassOrder)
{
    struct Expected {
        VirtualKeyCode code;
        const char* name;
    };
    const Expected expected[] = {
        {0x38, "shift"}, {0x3B, "ctrl"}, {0x3A, "alt"}, {0x37, "cmd_left"},
        {0x3C, "shift"}, {0x3E, "ctrl"}, {0x3D, "alt"}, {0x36, "cmd_right"},
    };
    const WatchedKeyTable table = makeWatchedKeys();
    ASSERT_EQ(table.size(), std::size(expected));
    for (std::size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i + 1));
        EXPECT_EQ(table[i].code, expected[i].code);
        EXPECT_STREQ(table[i].name, expected[i].name);
        EXPECT_FALSE(table[i].lastState);
    }
}
