/* A minimal stand-in for <CoreGraphics/CoreGraphics.h>, holding only what the
 * watcher's macOS key state file and the tests' key injector use, declared as
 * Apple documents it (CGRemoteOperation.h, CGEvent.h, CGEventSource.h and
 * CGEventTypes.h). It lets them be compiled and linked on a machine without
 * the macOS SDK. It is never part of the real program's build. */
#ifndef ORVEL_TEST_COREGRAPHICS_STANDIN_H
#define ORVEL_TEST_COREGRAPHICS_STANDIN_H

#include <CoreFoundation/CoreFoundation.h>
#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint16_t CGKeyCode;

#ifdef __cplusplus
enum CGEventSourceStateID : int32_t {
#else
typedef int32_t CGEventSourceStateID;
enum {
#endif
    kCGEventSourceStatePrivate = -1,
    kCGEventSourceStateCombinedSessionState = 0,
    kCGEventSourceStateHIDSystemState = 1
};

bool CGEventSourceKeyState(CGEventSourceStateID stateID, CGKeyCode key);

/* Posting keyboard events (the tests' key injector only). */
typedef struct __CGEvent* CGEventRef;
typedef struct __CGEventSource* CGEventSourceRef;

typedef uint32_t CGEventType;
enum {
    kCGEventKeyDown = 10,
    kCGEventKeyUp = 11,
    kCGEventFlagsChanged = 12
};

typedef uint64_t CGEventFlags;
enum {
    kCGEventFlagMaskShift = 0x00020000,
    kCGEventFlagMaskControl = 0x00040000,
    kCGEventFlagMaskAlternate = 0x00080000,
    kCGEventFlagMaskCommand = 0x00100000
};

typedef uint32_t CGEventTapLocation;
enum {
    kCGHIDEventTap = 0,
    kCGSessionEventTap = 1,
    kCGAnnotatedSessionEventTap = 2
};

CGEventSourceRef CGEventSourceCreate(CGEventSourceStateID stateID);
CGEventRef CGEventCreateKeyboardEvent(CGEventSourceRef source, CGKeyCode virtualKey, bool keyDown);
void CGEventSetType(CGEventRef event, CGEventType type);
void CGEventSetFlags(CGEventRef event, CGEventFlags flags);
void CGEventPost(CGEventTapLocation tap, CGEventRef event);
bool CGPreflightPostEventAccess(void);

#ifdef __cplusplus
}
#endif

#endif
