// The floor for any program that wakes every 12 ms: it only sleeps. The
// benchmark sets the watcher's idle cost against this one's.
#include <unistd.h>

int main()
{
    for (;;)
        usleep(12000);
}
