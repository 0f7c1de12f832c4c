// What the watcher gives up before it opens anything. On Linux it may run as
// root, or carry the keyboards' group (installed setgid), so it keeps only
// what reading keyboards needs: nothing else can be done through it, even if
// something went wrong inside it. Each platform implements it in a file of
// its own; where reading the modifiers needs no permission there is nothing
// to give up.
#pragma once

// Called once, after the stop handlers are installed and before the key
// state is opened. Best effort and silent: what the system does not offer is
// left out, and the watcher runs as before.
void confineToReadingKeys();
