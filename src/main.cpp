// orvel-keywatcher: writes one line per press or release of the keyboard's
// eight modifier keys on standard output, until it is asked to stop.
#include <cstring>

#include "confinement.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "key_state.h"
#include "output.h"
#include "stop.h"
#include "watch_loop.h"
#include "watched_keys.h"

namespace {

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
    // Before anything else: no descriptor but the standard streams, as
    // sudo and OpenSSH do.
    closeInheritedDescriptors();
    WatchedKeyTable watchedKeys = makeWatchedKeys();
    shouldRun.store(true);
    // Before the key state is opened, which may take a while: a stop
    // requested meanwhile is an orderly stop at the loop's first flag test.
    installStopHandlers();
    // Before anything is opened: on Linux, what it may do from here on is
    // read keyboards and write lines.
    ConfinementFailure confinement;
    if (!confineToReadingKeys(confinement)) {
        report(confinement.what, std::strerror(confinement.error));
        return exitFailure;
    }

    KeyStateFailure failure;
    if (!openKeyState(failure))
        return failKeyState(failure);
    writeToStandardError("Orvel macOS key watcher started\n");

    if (const int error = watchLoop(watchedKeys, standardOutput())) {
        report("cannot write to standard output", describeOutputError(error));
        return exitFailure;
    }
    return exitStopped;
}
