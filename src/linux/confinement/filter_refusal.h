// What the system call filter does with a call it does not allow. The
// program refuses it with an error and goes on (filter_refusal.cpp): an
// unforeseen call of the C library must not end the watcher. The tests'
// build of it ends the process instead, naming the call
// (tests/linux/filter_refusal_ends.cpp), so that every path the system
// tests take proves the list complete.
#pragma once

#include <cstdint>

namespace confinement {

// The seccomp action for a refused call whose error would be `error`.
std::uint32_t refusal(std::uint16_t error);

// Called once, just before the filter is installed.
void prepareForRefusals();

}  // namespace confinement
