#include "descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace evdev {

int aboveStandardStreams(int fd)
{
    if (fd < 0 || fd > STDERR_FILENO)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int error = errno;
    close(fd);
    errno = error;
    return moved;
}

}  // namespace evdev
