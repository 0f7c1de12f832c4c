#include "watch_loop.h"

#include <unistd.h>

#include "key_state.h"

std::atomic<bool> shouldRun{false};
static_assert(std::atomic<bool>::is_always_lock_free,
              "the run flag is stored from signal handlers");

namespace {

// Writes "D name\n" or "U name\n" into the stream's buffer and flushes it
// at once as one line, so a reader at the other end of a pipe sees it in this
// cycle. (No printf here: it would bring a large part of the C library into
// the resident set of a program that otherwise only sleeps.)
bool writeChangeLine(std::FILE* out, bool down, const char* name)
{
    std::fputs(down ? "D " : "U ", out);
    std::fputs(name, out);
    std::fputc('\n', out);
    return !std::ferror(out) && std::fflush(out) == 0;
}

}  // namespace

bool watchPass(WatchedKeyTable& keys, std::FILE* out)
{
    beginKeyStatePass();
    for (WatchedKey& key : keys) {
        const bool down = keyIsDown(key.code);
        if (down == key.lastState)
            continue;
        if (!writeChangeLine(out, down, key.name))
            return false;
        key.lastState = down;
    }
    return true;
}

bool watchLoop(WatchedKeyTable& keys, std::FILE* out)
{
    while (shouldRun.load()) {
        if (!watchPass(keys, out))
            return false;
        // A handled stop signal ends the pause early; the flag test follows.
        usleep(pauseMicroseconds);
    }
    return true;
}
