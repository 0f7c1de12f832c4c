#include "input_watch.h"

namespace evdev {

namespace {

HotplugWatch watch(inputDirectory);
int startError = 0;
bool rootAloneAwaited = false;

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

void awaitNodesOfRootAlone()
{
    rootAloneAwaited = true;
}

bool nodesOfRootAloneAwaited()
{
    return rootAloneAwaited;
}

}  // namespace evdev
