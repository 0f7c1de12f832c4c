#include "keyboard_set.h"

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "descriptors.h"

namespace evdev {

namespace {

// DIRECTORY/NAME into `path`; false if it does not fit.
bool joinPath(char (&path)[64], const char* directory, const char* name)
{
    const std::size_t directoryLength = std::strlen(directory);
    const std::size_t nameLength = std::strlen(name);
    if (directoryLength + 1 + nameLength >= sizeof path)
        return false;
    std::memcpy(path, directory, directoryLength);
    path[directoryLength] = '/';
    std::memcpy(path + directoryLength + 1, name, nameLength + 1);
    return true;
}

// Opens a node read-only: the watcher never writes (and so never injects
// events), never blocks and leaks no descriptor into other programs.
int openNode(const char* path)
{
    return aboveStandardStreams(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
}

bool isKeyboard(int fd)
{
    KeyBitmap capabilities{};
    if (ioctl(fd, EVIOCGBIT(EV_KEY, sizeof capabilities), capabilities) < 0)
        return false;
    return hasModifierKey(capabilities, keyBitmapWords);
}

// Masks every event type for this client, so the kernel queues nothing for a
// reader that never reads. The kernel takes the mask in whole longs. Kernels
// before 4.4 lack the call; that only costs them a full queue.
void maskAllEvents(int fd)
{
    const unsigned long noTypes[(EV_CNT + bitsPerLong - 1) / bitsPerLong] = {};
    input_mask mask{};
    mask.type = 0;  // the mask of event types itself
    mask.codes_size = sizeof noTypes;
    mask.codes_ptr = reinterpret_cast<std::uintptr_t>(noTypes);
    ioctl(fd, EVIOCSMASK, &mask);
}

// The device's current key bitmap; false with errno set if it cannot be had.
// A signal may interrupt the call while it waits for the device's lock; that
// is no failure of the device.
bool readKeyState(int fd, KeyBitmap& state)
{
    int result;
    do
        result = ioctl(fd, EVIOCGKEY(sizeof state), state);
    while (result < 0 && errno == EINTR);
    return result >= 0;
}

KeyboardSet::AddResult openFailure()
{
    if (errno == EACCES || errno == EPERM)
        return KeyboardSet::AddResult::denied;
    if (errno == EMFILE || errno == ENFILE)
        return KeyboardSet::AddResult::noDescriptor;
    return KeyboardSet::AddResult::passed;  // gone again, or not a device
}

}  // namespace

KeyboardSet::~KeyboardSet()
{
    for (const Keyboard& keyboard : keyboards_)
        close(keyboard.fd);
}

KeyboardSet::AddResult KeyboardSet::add(const char* directory, const char* name)
{
    char path[64];
    if (!joinPath(path, directory, name))
        return AddResult::passed;
    // A device held already is not opened again: closing an evdev descriptor
    // waits for the kernel's RCU grace period, and would stall polling at
    // every attribute change and rescan.
    struct stat status {};
    if (stat(path, &status) == 0 && S_ISCHR(status.st_mode) && isHeld(status.st_rdev))
        return AddResult::passed;
    // Room first, so that a keyboard opened is never closed again for want of it.
    if (!keyboards_.makeRoom()) {
        errno = ENOMEM;
        return AddResult::noDescriptor;
    }
    const int fd = openNode(path);
    if (fd < 0)
        return openFailure();
    // Asked again of the open node: the path may have been replaced since.
    if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode) || isHeld(status.st_rdev) ||
        !isKeyboard(fd)) {
        close(fd);
        return AddResult::passed;
    }
    maskAllEvents(fd);
    keyboards_.push({fd, status.st_rdev, {}});
    return AddResult::taken;
}

bool KeyboardSet::isHeld(dev_t device)
{
    for (std::size_t i = 0; i < keyboards_.size(); ++i) {
        if (keyboards_[i].device != device)
            continue;
        if (refresh(keyboards_[i]))
            return true;
        drop(i);
        return false;
    }
    return false;
}

void KeyboardSet::readKeys(KeyBitmap& keys)
{
    std::memset(keys, 0, sizeof(KeyBitmap));
    for (std::size_t i = 0; i < keyboards_.size();) {
        if (!refresh(keyboards_[i])) {
            drop(i);  // the last one moves here; read it next
            continue;
        }
        for (std::size_t word = 0; word < keyBitmapWords; ++word)
            keys[word] |= keyboards_[i].keys[word];
        ++i;
    }
}

bool KeyboardSet::refresh(Keyboard& keyboard)
{
    KeyBitmap state;
    if (readKeyState(keyboard.fd, state)) {
        std::memcpy(keyboard.keys, state, sizeof state);
        return true;
    }
    return errno != ENODEV;
}

void KeyboardSet::drop(std::size_t index)
{
    close(keyboards_[index].fd);
    keyboards_.removeAt(index);
}

}  // namespace evdev
