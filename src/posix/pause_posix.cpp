// The pause on POSIX systems: a handled stop signal ends the sleep early.
#include <unistd.h>

#include "../pause.h"

void pauseBetweenPasses()
{
    usleep(pauseMicroseconds);
}
