#include "hotplug.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "descriptors.h"

namespace evdev {

namespace {

constexpr std::uint32_t nodeEvents = IN_CREATE | IN_MOVED_TO | IN_ATTRIB;
// Removing a node is not unplugging its keyboard, so deletions are not
// watched: a keyboard is dropped only once its device is gone.
constexpr std::uint32_t watchedEvents = nodeEvents | IN_MOVE_SELF | IN_ONLYDIR;

}  // namespace

HotplugWatch::~HotplugWatch()
{
    if (fd_ >= 0)
        close(fd_);
}

int HotplugWatch::start()
{
    return watchDirectory() ? 0 : errno;
}

// The folder is looked at before and after the watch is set, so the folder
// remembered is the one watched even if the path was replaced meanwhile.
bool HotplugWatch::watchDirectory()
{
    if (fd_ < 0)
        fd_ = aboveStandardStreams(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (fd_ < 0)
        return false;
    struct stat before {};
    if (stat(directory_, &before) != 0)
        return false;
    watch_ = inotify_add_watch(fd_, directory_, watchedEvents);
    if (watch_ < 0)
        return false;
    watchedDevice_ = before.st_dev;
    watchedInode_ = before.st_ino;
    if (watchesTheFolderAtThePath())
        return true;
    stopWatching();  // replaced while the watch was set: the path is read instead
    errno = EAGAIN;
    return false;
}

// One stat per check: the only news of a folder removed while something
// still holds it, which the kernel keeps alive and watched.
bool HotplugWatch::watchesTheFolderAtThePath() const
{
    struct stat now {};
    return stat(directory_, &now) == 0 && now.st_dev == watchedDevice_ &&
           now.st_ino == watchedInode_;
}

void HotplugWatch::stopWatching()
{
    inotify_rm_watch(fd_, watch_);
    watch_ = -1;
}

bool HotplugWatch::check(void (*changed)(const char* name))
{
    bool rescan = false;
    alignas(inotify_event) char buffer[4096];
    const ssize_t length = fd_ < 0 ? -1 : read(fd_, buffer, sizeof buffer);
    for (ssize_t offset = 0; offset < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
        if (const char* name = apply(*event, rescan))
            changed(name);
        offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    if (watch_ >= 0 && !watchesTheFolderAtThePath())
        stopWatching();  // removed or replaced, though something still holds it
    return rescan;
}

const char* HotplugWatch::apply(const inotify_event& event, bool& rescan)
{
    if (event.mask & IN_Q_OVERFLOW) {
        rescan = true;
    } else if (event.wd != watch_) {
        // An earlier watch's last words.
    } else if (event.mask & IN_IGNORED) {
        watch_ = -1;  // the directory is gone
    } else if (event.mask & IN_MOVE_SELF) {
        stopWatching();  // moved elsewhere: the path is read instead
    } else if ((event.mask & nodeEvents) && event.len > 0) {
        return event.name;
    }
    return nullptr;
}

}  // namespace evdev
