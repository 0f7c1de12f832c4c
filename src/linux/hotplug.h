// Keyboards plugged in while the watcher runs, found through inotify on the
// input directory and checked without blocking. The watch is set once. The
// directory itself may go away with its last node (devtmpfs removes empty
// folders) and come back with the next one, which that watch never sees; the
// kernel says a watched folder is gone only once nothing holds it any more
// (a shell whose working directory it is, an open descriptor, a bind mount),
// so every check also compares the folder at the path with the one watched.
// Once the watch is gone, or where it could not be had (the user's inotify
// instances or watches used up), the caller reads the directory at every
// check instead.
#pragma once

#include <sys/types.h>

struct inotify_event;

namespace evdev {

class HotplugWatch {
public:
    explicit HotplugWatch(const char* directory) : directory_(directory) {}
    HotplugWatch(const HotplugWatch&) = delete;
    HotplugWatch& operator=(const HotplugWatch&) = delete;
    ~HotplugWatch();

    // Starts watching the directory. Returns 0, or errno if it cannot be.
    int start();

    // False while the directory is not watched: nothing tells of new nodes.
    bool watching() const { return watch_ >= 0; }

    // Reads the pending events without blocking, at most one buffer of them
    // so that a storm of events cannot hold a pass back (the rest wait for
    // the next check), and calls `changed` with the name of each node
    // created, moved in, or whose attributes changed (it may have become
    // readable), once per event: a node's events come several at a time
    // (made, then its permissions set, often more than once), and the
    // caller's queue takes each name once. Returns true when the whole
    // directory must be scanned again: events were lost.
    bool check(void (*changed)(const char* name));

private:
    // What one event means: the name of a node to offer, or nothing.
    const char* apply(const inotify_event& event, bool& rescan);
    bool watchDirectory();
    bool watchesTheFolderAtThePath() const;
    void stopWatching();

    const char* directory_;
    int fd_ = -1;  // -1 while inotify cannot be had
    int watch_ = -1;  // -1 while the directory is not watched
    dev_t watchedDevice_ = 0;  // the folder watched, while watch_ is set
    ino_t watchedInode_ = 0;
};

}  // namespace evdev
