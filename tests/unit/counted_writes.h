// Counts the write(2) calls made on the calling thread, so a test can tell a
// wait that blocks from one that spins whatever CPU time the machine gave it.
#pragma once

namespace counted {

void startCountingWrites();
long writesCounted();  // since startCountingWrites(), on this thread

}  // namespace counted
