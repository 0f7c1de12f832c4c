#include "write_all.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Blocks until the descriptor takes more. A reader that has gone or a closed
// descriptor wakes it too; the write that follows then says so.
int waitUntilWritable(int fd)
{
    pollfd ready{fd, POLLOUT, 0};
    while (poll(&ready, 1, -1) < 0)
        if (errno != EINTR)
            return errno;
    return 0;
}

}  // namespace

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
