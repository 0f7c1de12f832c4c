#include "keyboard_set.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "evdev_device.h"

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

struct FailureMeaning {
    int error;
    AddResult result;
};

// Any other failure: the node went again, or is no device.
constexpr FailureMeaning failureMeanings[] = {
    {EACCES, AddResult::denied}, {EPERM, AddResult::denied},
    // Shortages that pass. And evdev waits for a device's lock
    // interruptibly: a signal (job control stopping the watcher, say) makes
    // open or an ioctl fail with EINTR, which SA_RESTART does not cover.
    {EMFILE, AddResult::later},  {ENFILE, AddResult::later},
    {ENOMEM, AddResult::later},  {EINTR, AddResult::retry},
};

}  // namespace

AddResult resultOfFailure(int error)
{
    for (const FailureMeaning& meaning : failureMeanings)
        if (meaning.error == error)
            return meaning.result;
    return AddResult::passed;
}

KeyboardSet::~KeyboardSet()
{
    for (const Keyboard& keyboard : keyboards_)
        close(keyboard.fd);
}

AddResult KeyboardSet::add(const char* directory, const char* name)
{
    char path[64];
    if (!joinPath(path, directory, name))
        return AddResult::passed;
    struct stat node {};
    if (stat(path, &node) != 0)
        return resultOfFailure(errno);
    if (!S_ISCHR(node.st_mode) || isHeld(node.st_rdev) || isKnownOther(node))
        return AddResult::passed;
    switch (kindFromSysfs(node.st_rdev)) {
    case DeviceKind::other:
        rememberOther(node);
        return AddResult::passed;
    case DeviceKind::notYet:
        return AddResult::retry;  // not opened: it may well be no keyboard
    case DeviceKind::keyboard:
    case DeviceKind::unknown:
        break;
    }
    return openIfKeyboard(path);
}

AddResult KeyboardSet::openIfKeyboard(const char* path)
{
    // Room first, so that a keyboard opened is never closed again for want of it.
    if (!keyboards_.makeRoom()) {
        errno = ENOMEM;
        return AddResult::later;
    }
    const int fd = openNode(path);
    if (fd < 0)
        return resultOfFailure(errno);
    // Asked again of the open node: the path may have been replaced since.
    struct stat node {};
    if (fstat(fd, &node) != 0 || !S_ISCHR(node.st_mode) || isHeld(node.st_rdev)) {
        close(fd);
        return AddResult::passed;
    }
    const DeviceKind kind = kindOfOpenDevice(fd);
    if (kind != DeviceKind::keyboard) {
        const int error = errno;
        close(fd);
        const AddResult result = resultOfFailure(error);
        if (kind == DeviceKind::unknown &&
            (result == AddResult::later || result == AddResult::retry)) {
            errno = error;
            return result;
        }
        rememberOther(node);
        return AddResult::passed;
    }
    maskAllEvents(fd);
    keyboards_.push({fd, node.st_rdev, {}});
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

bool KeyboardSet::isKnownOther(const struct stat& node)
{
    for (const OtherDevice& other : others_)
        if (other.device == node.st_rdev)
            return other.inode == node.st_ino;
    return false;
}

void KeyboardSet::rememberOther(const struct stat& node)
{
    for (OtherDevice& other : others_) {
        if (other.device == node.st_rdev) {
            other.inode = node.st_ino;
            return;
        }
    }
    others_.push({node.st_rdev, node.st_ino});  // out of memory: asked again next time
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
