// Where the watcher's bytes go: change lines to standard output, the banner
// and messages to standard error, exactly as given (one line feed ends a
// line on every platform, and nothing is held back in a buffer). Each
// platform implements it in a file of its own.
#pragma once

#include <cstddef>

#include "output_handle.h"  // the platform's OutputHandle: a descriptor or a HANDLE

// The process's standard output.
OutputHandle standardOutput();

// Writes all `size` bytes: finishes partial writes, waits for room when the
// output is full and a parent made it non-blocking, and carries on after an
// interruption, as a blocking write would. Returns 0, or the platform's
// error code (errno, or GetLastError()) of the failure. A reader that has
// gone ends the process here, without the orderly stop: SIGPIPE on POSIX,
// and its like on Windows.
int writeAll(OutputHandle out, const char* data, std::size_t size);

// The text of an error code that writeAll returned.
const char* describeOutputError(int error);

// Writes text to standard error at once and whole, unbuffered.
void writeToStandardError(const char* text);
