// orvel-keywatcher: writes one line per press or release of the keyboard's
// eight modifier keys on standard output, until SIGINT or SIGTERM.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "diagnostics.h"
#include "key_state.h"
#include "stop_signals.h"
#include "watch_loop.h"
#include "watched_keys.h"

namespace {

// Exit statuses: 0 after the orderly stop, 1 when the watcher cannot go on.
constexpr int exitStopped = 0;
constexpr int exitFailure = 1;

int failKeyState(const KeyStateFailure& failure)
{
    report(failure.context, failure.reason);
    if (failure.hint)
        advise(failure.hint);
    return exitFailure;
}

}  // namespace

int main()
{
    WatchedKeyTable watchedKeys = makeWatchedKeys();
    shouldRun.store(true);
    // Before the key state is opened, which may take a while: a stop
    // requested meanwhile is an orderly stop at the loop's first flag test.
    installStopHandlers();

    KeyStateFailure failure;
    if (!openKeyState(failure))
        return failKeyState(failure);
    std::fputs("Orvel macOS key watcher started\n", stderr);

    if (const int error = watchLoop(watchedKeys, STDOUT_FILENO)) {
        report("cannot write to standard output", std::strerror(error));
        return exitFailure;
    }
    return exitStopped;
}
