#include "input_watch.h"

namespace evdev {

namespace {

HotplugWatch watch(inputDirectory);
int startError = 0;

}  // namespace

HotplugWatch& inputWatch()
{
    return watch;
}

void startInputWatch()
{
    startError = watch.start();
}

int inputWatchError()
{
    return startError;
}

}  // namespace evdev
