// orvel-keywatcher: writes one line per press or release of the keyboard's
// eight modifier keys on standard output, until SIGINT or SIGTERM.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "key_state.h"
#include "stop_signals.h"
#include "watch_loop.h"
#include "watched_keys.h"

namespace {

constexpr const char* programName = "orvel-keywatcher";

// Exit statuses: 0 after the orderly stop, 1 when the watcher cannot go on.
constexpr int exitStopped = 0;
constexpr int exitFailure = 1;

int failKeyState(const KeyStateFailure& failure)
{
    std::fprintf(stderr, "%s: %s: %s\n", programName, failure.context, failure.reason);
    if (failure.hint)
        std::fprintf(stderr, "%s: %s\n", programName, failure.hint);
    return exitFailure;
}

int failOutput(int error)
{
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", programName,
                 std::strerror(error));
    return exitFailure;
}

}  // namespace

int main()
{
    WatchedKeyTable watchedKeys = makeWatchedKeys();

    KeyStateFailure failure;
    if (!openKeyState(failure))
        return failKeyState(failure);

    shouldRun.store(true);
    installStopHandlers();
    std::fputs("Orvel macOS key watcher started\n", stderr);

    if (!watchLoop(watchedKeys, stdout))
        return failOutput(errno);
    return exitStopped;
}
