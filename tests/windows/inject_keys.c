/* The tests' key injector for Windows (and Wine): presses and releases
 * modifier keys as a keyboard would, with SendInput and the keys' scan codes
 * (Wine takes a right Shift sent by virtual key alone for the left one), and
 * waits until each change shows in GetAsyncKeyState, which the watcher reads.
 * Then it waits a few of the watcher's passes before the next change. Under
 * Wine a press sent from one process shows in another's GetAsyncKeyState up
 * to 50 ms late.
 *
 * Usage: inject_keys probe
 *          right Shift down and up; exits 0 if both reached the key state
 *        inject_keys STEP...
 *          each STEP is +KEY (press) or -KEY (release), KEY one of Shift,
 *          Control, Option, Command, RightShift, RightControl, RightOption,
 *          RightCommand (Option is Alt, Command the Windows key)
 *        inject_keys answer MS
 *          presses Shift, then answers every change line read on standard
 *          input with the opposite change at once, for MS milliseconds;
 *          lets Shift go and prints "N lines in T ms"
 * Exit status: 0 done, 2 bad usage, 3 a change did not reach the key state
 * within a second. */
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

struct Modifier {
    const char* name;
    WORD virtualKey;
    WORD scanCode;
    bool extended; /* sent after an E0 prefix */
};

static const struct Modifier modifiers[] = {
    {"Shift", VK_LSHIFT, 0x2A, false},      {"Control", VK_LCONTROL, 0x1D, false},
    {"Option", VK_LMENU, 0x38, false},      {"Command", VK_LWIN, 0x5B, true},
    {"RightShift", VK_RSHIFT, 0x36, false}, {"RightControl", VK_RCONTROL, 0x1D, true},
    {"RightOption", VK_RMENU, 0x38, true},  {"RightCommand", VK_RWIN, 0x5C, true},
};
enum { modifierCount = sizeof modifiers / sizeof modifiers[0] };

static bool post(const struct Modifier* key, bool down)
{
    INPUT input;
    memset(&input, 0, sizeof input);
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key->virtualKey;
    input.ki.wScan = key->scanCode;
    input.ki.dwFlags = KEYEVENTF_SCANCODE | (key->extended ? KEYEVENTF_EXTENDEDKEY : 0) |
                       (down ? 0 : KEYEVENTF_KEYUP);
    return SendInput(1, &input, sizeof input) == 1;
}

/* Wine (8.0 at least) gives every Shift sent to it as the left one. */
static bool underWine(void)
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != NULL;
}

static bool reached(const struct Modifier* key, bool down)
{
    const int virtualKey = key->virtualKey == VK_RSHIFT && underWine() ? VK_SHIFT : key->virtualKey;
    for (int waitedMs = 0; waitedMs < 1000; waitedMs += 2) {
        if (((GetAsyncKeyState(virtualKey) & 0x8000) != 0) == down)
            return true;
        Sleep(2);
    }
    return false;
}

static int change(const struct Modifier* key, bool down)
{
    if (!post(key, down) || !reached(key, down)) {
        fprintf(stderr, "inject_keys: %c%s did not reach the key state within 1 s\n",
                down ? '+' : '-', key->name);
        return 3;
    }
    /* Five of the watcher's passes; under Wine, which keeps a key that was
     * up as up for 50 ms in the reading process, five more. */
    Sleep(underWine() ? 120 : 60);
    return 0;
}

static long long nowMs(void)
{
    return (long long)GetTickCount64();
}

static void prepare(bool probing)
{
    (void)probing;
}

#include "../inject_keys_main.h"
