// The orderly stop on POSIX systems: SIGINT and SIGTERM clear the run flag.
#include "../stop.h"

#include <csignal>

#include "../watch_loop.h"

namespace {

void onInterrupt(int)
{
    shouldRun.store(false);
}

void onTerminate(int)
{
    shouldRun.store(false);
}

void install(int signalNumber, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // SA_RESTART lets a change line's write and flush complete; a sleep is
    // never restarted, so the pause ends early and the flag is tested.
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

}  // namespace

void installStopHandlers()
{
    install(SIGINT, onInterrupt);
    install(SIGTERM, onTerminate);
    // A parent may have started the watcher with them blocked, where they
    // would stay pending for ever and nothing but SIGKILL could end it.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &stops, nullptr);
}
