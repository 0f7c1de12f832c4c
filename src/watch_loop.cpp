#include "watch_loop.h"

#include "key_state.h"
#include "pause.h"

std::atomic<bool> shouldRun{false};
static_assert(std::atomic<bool>::is_always_lock_free,
              "the run flag is stored from signal handlers");

namespace {

// "D name\n" or "U name\n", written with one call so that the line leaves at
// once and whole: nothing is held back in a buffer between two passes.
int writeChangeLine(OutputHandle out, bool down, const char* name)
{
    char line[32];
    std::size_t length = 0;
    line[length++] = down ? 'D' : 'U';
    line[length++] = ' ';
    while (*name && length < sizeof line - 1)
        line[length++] = *name++;
    line[length++] = '\n';
    return writeAll(out, line, length);
}

}  // namespace

int watchPass(WatchedKeyTable& keys, OutputHandle out)
{
    beginKeyStatePass();
    for (WatchedKey& key : keys) {
        const bool down = keyIsDown(key.code);
        if (down == key.lastState)
            continue;
        if (const int error = writeChangeLine(out, down, key.name))
            return error;
        key.lastState = down;
    }
    return 0;
}

int watchLoop(WatchedKeyTable& keys, OutputHandle out)
{
    while (shouldRun.load()) {
        if (const int error = watchPass(keys, out))
            return error;
        // A stop request ends the pause early; the flag test follows.
        pauseBetweenPasses();
    }
    return 0;
}
