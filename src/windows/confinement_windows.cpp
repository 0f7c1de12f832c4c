// On Windows GetAsyncKeyState needs no permission and the watcher opens
// nothing: there is nothing to give up.
#include "../confinement.h"

void confineToReadingKeys() {}
