// The orderly stop: SIGINT and SIGTERM only clear shouldRun, and the watch
// loop ends by itself after the pass under way.
#pragma once

// Installs one handler for SIGINT, then one for SIGTERM, and unblocks the two
// if the process was started with them blocked. They stay installed, resume
// interrupted writes and leave every other signal as it was.
void installStopHandlers();
