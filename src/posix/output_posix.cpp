// Output on POSIX systems: write(2) on descriptors, which a reader that has
// gone answers with SIGPIPE (left at its default, so it ends the watcher).
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "../output.h"

namespace {

// Blocks until the descriptor takes more. A reader that has gone or a closed
// descriptor wakes it too; the write that follows then says so. select(), not
// poll(): macOS's poll() does not support devices, and a terminal there
// answers POLLNVAL at once, so the wait would spin at full speed while the
// terminal's output is held.
int waitUntilWritable(int fd)
{
    if (fd >= FD_SETSIZE)
        return EBADF;  // beyond what select() can be given
    fd_set writable;
    for (;;) {
        FD_ZERO(&writable);
        FD_SET(fd, &writable);
        if (select(fd + 1, nullptr, &writable, nullptr, nullptr) >= 0)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

}  // namespace

OutputHandle standardOutput()
{
    return STDOUT_FILENO;
}

int writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<std::size_t>(written);
        } else if (written == 0) {
            return EIO;  // took nothing and said nothing: it would never end
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (const int error = waitUntilWritable(fd))
                return error;
        } else if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

const char* describeOutputError(int error)
{
    return std::strerror(error);
}

// The C library's standard error is unbuffered: each call is one write.
void writeToStandardError(const char* text)
{
    std::fputs(text, stderr);
}
