// What the watcher gives up before it opens anything. On Linux it may run as
// root, or carry the keyboards' group (installed setgid), so it keeps only
// what reading keyboards needs: nothing else can be done through it, even if
// something went wrong inside it. Each platform implements it in a file of
// its own; where reading the modifiers needs no permission there is nothing
// to give up.
#pragma once

#include <cerrno>

// Why the confinement could not be made: printed as "what: strerror(error)".
struct ConfinementFailure {
    const char* what = "";
    int error = 0;
};

// Called first of all: closes every descriptor above the standard streams
// that the watcher was started with, where one could carry a privilege (a
// file its parent may write, a socket). Reads no file.
void closeInheritedDescriptors();

// Called once, after the stop handlers are installed and before the key
// state is opened. What the system does not offer (an older kernel, a
// security module left out) is left out, and the watcher runs as before; a
// step the kernel has but refuses fails it, before the banner.
bool confineToReadingKeys(ConfinementFailure& failure);

// Fills `failure` with `what` and errno; returns false.
inline bool failedStep(ConfinementFailure& failure, const char* what)
{
    failure.what = what;
    failure.error = errno;
    return false;
}
