// The pause after every pass. Each platform implements it in a file of its
// own; a stop request ends a pause under way at once.
#pragma once

inline constexpr unsigned pauseMicroseconds = 12000;

// Waits 12 ms, or less if a stop is requested meanwhile.
void pauseBetweenPasses();
