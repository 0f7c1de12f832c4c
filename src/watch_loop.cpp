#include "watch_loop.h"

#include <unistd.h>

#include "key_state.h"
#include "write_all.h"

std::atomic<bool> shouldRun{false};
static_assert(std::atomic<bool>::is_always_lock_free,
              "the run flag is stored from signal handlers");

namespace {

// "D name\n" or "U name\n", written with one call so that the line leaves at
// once and whole: nothing is held back in a buffer between two passes.
int writeChangeLine(int outFd, bool down, const char* name)
{
    char line[32];
    std::size_t length = 0;
    line[length++] = down ? 'D' : 'U';
    line[length++] = ' ';
    while (*name && length < sizeof line - 1)
        line[length++] = *name++;
    line[length++] = '\n';
    return writeAll(outFd, line, length);
}

}  // namespace

int watchPass(WatchedKeyTable& keys, int outFd)
{
    beginKeyStatePass();
    for (WatchedKey& key : keys) {
        const bool down = keyIsDown(key.code);
        if (down == key.lastState)
            continue;
        if (const int error = writeChangeLine(outFd, down, key.name))
            return error;
        key.lastState = down;
    }
    return 0;
}

int watchLoop(WatchedKeyTable& keys, int outFd)
{
    while (shouldRun.load()) {
        if (const int error = watchPass(keys, outFd))
            return error;
        // A handled stop signal ends the pause early; the flag test follows.
        usleep(pauseMicroseconds);
    }
    return 0;
}
