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

static bool sendKey(const struct Modifier* key, bool down)
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
    if (!sendKey(key, down) || !reached(key, down)) {
        fprintf(stderr, "inject_keys: %c%s did not reach the key state within 1 s\n",
                down ? '+' : '-', key->name);
        return 3;
    }
    /* Five of the watcher's passes; under Wine, which keeps a key that was
     * up as up for 50 ms in the reading process, five more. */
    Sleep(underWine() ? 120 : 60);
    return 0;
}

static const struct Modifier* modifierNamed(const char* name)
{
    for (int i = 0; i < modifierCount; ++i)
        if (strcmp(modifiers[i].name, name) == 0)
            return &modifiers[i];
    return NULL;
}

static int answer(int windowMs)
{
    const struct Modifier* shift = modifierNamed("Shift");
    char line[64];
    int lines = 0;
    sendKey(shift, true);
    const ULONGLONG start = GetTickCount64();
    while (GetTickCount64() - start < (ULONGLONG)windowMs && fgets(line, sizeof line, stdin)) {
        ++lines;
        sendKey(shift, line[0] != 'D');
    }
    sendKey(shift, false);
    printf("%d lines in %d ms\n", lines, (int)(GetTickCount64() - start));
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "probe") == 0) {
        const struct Modifier* key = modifierNamed("RightShift");
        const int pressed = change(key, true);
        const int released = change(key, false);
        return pressed ? pressed : released;
    }
    if (argc == 3 && strcmp(argv[1], "answer") == 0)
        return answer(atoi(argv[2]));
    if (argc < 2) {
        fprintf(stderr, "usage: inject_keys probe | answer MS | +KEY|-KEY...\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        const struct Modifier* key = modifierNamed(argv[i] + 1);
        if (!key || (argv[i][0] != '+' && argv[i][0] != '-')) {
            fprintf(stderr, "inject_keys: not a step: %s\n", argv[i]);
            return 2;
        }
        const int status = change(key, argv[i][0] == '+');
        if (status)
            return status;
    }
    return 0;
}
