// On Windows GetAsyncKeyState needs no permission and the watcher opens
// nothing: there is nothing to give up. The descriptors and handles it
// inherits are its parent's choice: it carries no privilege they could lend.
#include "../confinement.h"

void closeInheritedDescriptors() {}

bool confineToReadingKeys(ConfinementFailure&)
{
    return true;
}
