/* The tests' key injector for a real Mac: presses and releases modifier keys
 * as a keyboard would, by posting flags-changed events through the HID event
 * tap from an event source of the HID system state, and waits until each
 * change shows in the system-wide hardware key state that the watcher reads.
 * Then it waits a few of the watcher's passes before the next change.
 *
 * Usage: inject_keys probe
 *          posts right Shift down and up; says whether event posting is
 *          allowed, and exits 0 if both changes reached the HID state
 *        inject_keys STEP...
 *          each STEP is +KEY (press) or -KEY (release), KEY one of Shift,
 *          Control, Option, Command, RightShift, RightControl, RightOption,
 *          RightCommand
 *        inject_keys answer MS
 *          presses Shift, then answers every change line read on standard
 *          input with the opposite change at once, for MS milliseconds;
 *          lets Shift go and prints "N lines in T ms"
 * Exit status: 0 done, 2 bad usage, 3 a change did not reach the HID state
 * within a second. */
#include <CoreGraphics/CoreGraphics.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

struct Modifier {
    const char* name;
    CGKeyCode code;
    /* The key's own bit among the device-dependent flags (IOLLEvent.h's
     * NX_DEVICE...KEYMASK), and the flag it shares with its twin. */
    CGEventFlags sideFlag;
    CGEventFlags flag;
};

static const struct Modifier modifiers[] = {
    {"Shift", 0x38, 0x00000002, kCGEventFlagMaskShift},
    {"Control", 0x3B, 0x00000001, kCGEventFlagMaskControl},
    {"Option", 0x3A, 0x00000020, kCGEventFlagMaskAlternate},
    {"Command", 0x37, 0x00000008, kCGEventFlagMaskCommand},
    {"RightShift", 0x3C, 0x00000004, kCGEventFlagMaskShift},
    {"RightControl", 0x3E, 0x00002000, kCGEventFlagMaskControl},
    {"RightOption", 0x3D, 0x00000040, kCGEventFlagMaskAlternate},
    {"RightCommand", 0x36, 0x00000010, kCGEventFlagMaskCommand},
};
enum { modifierCount = sizeof modifiers / sizeof modifiers[0] };

static CGEventSourceRef source;
static CGEventFlags sidesDown; /* the side flags of the keys held */

/* A flags-changed event carries the modifier state after the change. */
static CGEventFlags flagsOf(CGEventFlags sides)
{
    CGEventFlags flags = sides;
    for (int i = 0; i < modifierCount; ++i)
        if (sides & modifiers[i].sideFlag)
            flags |= modifiers[i].flag;
    return flags;
}

static bool post(const struct Modifier* key, bool down)
{
    CGEventRef event = CGEventCreateKeyboardEvent(source, key->code, down);
    if (!event)
        return false;
    sidesDown = down ? (sidesDown | key->sideFlag) : (sidesDown & ~key->sideFlag);
    CGEventSetType(event, kCGEventFlagsChanged);
    CGEventSetFlags(event, flagsOf(sidesDown));
    CGEventPost(kCGHIDEventTap, event);
    CFRelease(event);
    return true;
}

/* A posted event may reach the HID system state only after a moment. */
static bool reached(CGKeyCode code, bool down)
{
    for (int waitedMs = 0; waitedMs < 1000; waitedMs += 2) {
        if (CGEventSourceKeyState(kCGEventSourceStateHIDSystemState, code) == down)
            return true;
        usleep(2000);
    }
    return false;
}

static int change(const struct Modifier* key, bool down)
{
    if (!post(key, down) || !reached(key->code, down)) {
        fprintf(stderr, "inject_keys: %c%s did not reach the HID system state within 1 s\n",
                down ? '+' : '-', key->name);
        return 3;
    }
    usleep(60000); /* five of the watcher's passes */
    return 0;
}

static long long nowMs(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

static void prepare(bool probing)
{
    source = CGEventSourceCreate(kCGEventSourceStateHIDSystemState);
    if (probing)
        printf("event posting allowed: %s\n", CGPreflightPostEventAccess() ? "yes" : "no");
}

#include "../inject_keys_main.h"
