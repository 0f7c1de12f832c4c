// Keyboards plugged in while the watcher runs, found through inotify on the
// input directory and checked without blocking. The directory itself may go
// away with its last node (devtmpfs removes empty folders) and come back with
// the next one; the watch then follows it.
#pragma once

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

    // Reads every pending event without blocking and calls `changed` with the
    // name of each node created, moved in, or whose attributes changed (it
    // may have become readable). Returns true when the whole directory
    // must be scanned again: events were lost, or the directory came back.
    bool drain(void (*changed)(const char* name));

private:
    void apply(const inotify_event& event, void (*changed)(const char* name), bool& rescan);

    const char* directory_;
    int fd_ = -1;
    int watch_ = -1;  // -1 while the directory is gone
};

}  // namespace evdev
