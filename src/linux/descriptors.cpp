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

int openAbove(const char* path, int flags)
{
    return aboveStandardStreams(open(path, flags | O_CLOEXEC));
}

DIR* openDirectory(const char* path)
{
    const int fd = openAbove(path, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return nullptr;
    DIR* directory = fdopendir(fd);
    if (!directory) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return directory;
}

}  // namespace evdev
