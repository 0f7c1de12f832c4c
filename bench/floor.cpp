// The floor for any program that wakes every 12 ms: it only pauses, the way
// the watcher pauses on this platform. The benchmark sets the watcher's idle
// cost against this one's.
#include "pause.h"

int main()
{
    for (;;)
        pauseBetweenPasses();
}
