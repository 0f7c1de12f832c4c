// The orderly stop: a stop request (SIGINT or SIGTERM on POSIX systems;
// Ctrl-C, Ctrl-Break or the console closing on Windows) only clears
// shouldRun and ends a pause under way, and the watch loop ends by itself
// after the pass under way. Each platform implements it in a file of its own.
#pragma once

// Installs the handlers, once, before the key state is opened. On POSIX:
// one handler for SIGINT, then one for SIGTERM, both unblocked if the process
// was started with them blocked; they stay installed, resume interrupted
// writes and leave every other signal as it was.
void installStopHandlers();
