// Stands in for the C library's write() in the test binary: the program's
// code, linked into it statically, calls this one (on Linux and macOS alike),
// which counts and calls the C library's own.
#include "counted_writes.h"

#include <dlfcn.h>
#include <unistd.h>

namespace {

thread_local bool counting = false;
thread_local long writes = 0;

}  // namespace

namespace counted {

void startCountingWrites()
{
    writes = 0;
    counting = true;
}

long writesCounted()
{
    return writes;
}

}  // namespace counted

extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    using Write = ssize_t (*)(int, const void*, size_t);
    static const auto libraryWrite = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
    if (counting)
        ++writes;
    return libraryWrite(fd, data, size);
}
