/* A minimal stand-in for <CoreFoundation/CoreFoundation.h>, holding only
 * what the tests' key injector uses, declared as Apple documents it
 * (CFBase.h). It lets the injector be compiled and linked on a machine
 * without the macOS SDK; a Mac builds against the real framework. */
#ifndef ORVEL_TEST_COREFOUNDATION_STANDIN_H
#define ORVEL_TEST_COREFOUNDATION_STANDIN_H

#ifdef __cplusplus
extern "C" {
#endif

typedef const void* CFTypeRef;

void CFRelease(CFTypeRef cf);

#ifdef __cplusplus
}
#endif

#endif
