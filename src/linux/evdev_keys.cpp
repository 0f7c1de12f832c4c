#include "evdev_keys.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <array>

namespace evdev {

namespace {

struct KeyPair {
    VirtualKeyCode mac;
    int kernel;
};

// The numbers overlap between the two systems (54 is right Command on macOS
// but right Shift on Linux), so every code goes through this table.
constexpr std::array<KeyPair, watchedKeyCount> keyMap{{
    {kVK_Shift, KEY_LEFTSHIFT},
    {kVK_Control, KEY_LEFTCTRL},
    {kVK_Option, KEY_LEFTALT},
    {kVK_Command, KEY_LEFTMETA},
    {kVK_RightShift, KEY_RIGHTSHIFT},
    {kVK_RightControl, KEY_RIGHTCTRL},
    {kVK_RightOption, KEY_RIGHTALT},
    {kVK_RightCommand, KEY_RIGHTMETA},
}};

static_assert(KEY_RIGHTMETA < keyBitmapWords * bitsPerLong, "bitmap too small for the modifiers");

}  // namespace

int linuxKeyFor(VirtualKeyCode code)
{
    for (const KeyPair& pair : keyMap)
        if (pair.mac == code)
            return pair.kernel;
    return noKey;
}

bool bitIsSet(const unsigned long* bitmap, std::size_t words, int key)
{
    if (key < 0)
        return false;
    const auto bit = static_cast<std::size_t>(key);
    if (bit / bitsPerLong >= words)
        return false;
    return (bitmap[bit / bitsPerLong] >> (bit % bitsPerLong)) & 1ul;
}

bool hasModifierKey(const unsigned long* capabilities, std::size_t words)
{
    for (const KeyPair& pair : keyMap)
        if (bitIsSet(capabilities, words, pair.kernel))
            return true;
    return false;
}

namespace {

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isSeparator(char c)
{
    return c == ' ' || c == '\n';
}

// The hex word in [begin, end); false if it is not one or does not fit.
bool parseHexWord(const char* begin, const char* end, unsigned long& value)
{
    value = 0;
    for (const char* c = begin; c < end; ++c) {
        const int digit = hexDigitValue(*c);
        if (digit < 0 || value >> (bitsPerLong - 4) != 0)
            return false;
        value = value << 4 | static_cast<unsigned long>(digit);
    }
    return true;
}

}  // namespace

bool parseCapabilityWords(const char* text, unsigned long* words, std::size_t count)
{
    std::fill(words, words + count, 0ul);
    // From the end: the last word written is word 0.
    const char* end = text;
    while (*end)
        ++end;
    std::size_t word = 0;
    for (;;) {
        while (end > text && isSeparator(end[-1]))
            --end;
        const char* begin = end;
        while (begin > text && !isSeparator(begin[-1]))
            --begin;
        if (begin == end)
            return word > 0;
        unsigned long value;
        if (!parseHexWord(begin, end, value))
            return false;
        if (word < count)
            words[word] = value;
        ++word;
        end = begin;
    }
}

}  // namespace evdev
