// Writing to a descriptor that another process reads, whatever its owner made
// of it: a pipe or terminal may have been set non-blocking by a parent that
// shares it, and a write may take only part of what it is given.
#pragma once

#include <cstddef>

// Writes all `size` bytes: finishes partial writes, waits for room when the
// descriptor is non-blocking and full, and carries on after a handled
// signal, as a blocking write would. Returns 0, or the errno of the failure.
int writeAll(int fd, const char* data, std::size_t size);
