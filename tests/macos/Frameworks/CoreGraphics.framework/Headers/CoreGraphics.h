/* A minimal stand-in for <CoreGraphics/CoreGraphics.h>, holding only what the
 * watcher's macOS key state file uses, declared as Apple documents it
 * (CGRemoteOperation.h and CGEventTypes.h). It lets that file be compiled,
 * for syntax and types only, on a machine without the macOS SDK. It is never
 * part of the real program's build. */
#ifndef ORVEL_TEST_COREGRAPHICS_STANDIN_H
#define ORVEL_TEST_COREGRAPHICS_STANDIN_H

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

#ifdef __cplusplus
}
#endif

#endif
