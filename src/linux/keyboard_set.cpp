#include "keyboard_set.h"

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace evdev {

namespace {

// Opens a node read-only: the watcher never writes (and so never injects
// events), never blocks and leaks no descriptor into other programs.
int openNode(const char* directory, const char* name)
{
    char path[64];
    const std::size_t directoryLength = std::strlen(directory);
    const std::size_t nameLength = std::strlen(name);
    if (directoryLength + 1 + nameLength >= sizeof path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(path, directory, directoryLength);
    path[directoryLength] = '/';
    std::memcpy(path + directoryLength + 1, name, nameLength + 1);
    return open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

bool isKeyboard(int fd)
{
    KeyBitmap capabilities{};
    if (ioctl(fd, EVIOCGBIT(EV_KEY, sizeof capabilities), capabilities) < 0)
        return false;
    return hasModifierKey(capabilities, sizeof capabilities);
}

// Masks every event type for this client, so the kernel queues nothing for a
// reader that never reads. The kernel takes the mask in whole longs. Kernels
// before 4.4 lack the call; that only costs them a full queue.
void maskAllEvents(int fd)
{
    constexpr std::size_t bitsPerLong = 8 * sizeof(unsigned long);
    const unsigned long noTypes[(EV_CNT + bitsPerLong - 1) / bitsPerLong] = {};
    input_mask mask{};
    mask.type = 0;  // the mask of event types itself
    mask.codes_size = sizeof noTypes;
    mask.codes_ptr = reinterpret_cast<std::uintptr_t>(noTypes);
    ioctl(fd, EVIOCSMASK, &mask);
}

// The device's current key bitmap. A signal may interrupt the call while it
// waits for the device's lock; that is no failure of the device.
bool readKeyState(int fd, KeyBitmap& state)
{
    int result;
    do
        result = ioctl(fd, EVIOCGKEY(sizeof state), state);
    while (result < 0 && errno == EINTR);
    return result >= 0;
}

}  // namespace

KeyboardSet::~KeyboardSet()
{
    while (count_ > 0)
        drop(keyboards_[count_ - 1]);
}

KeyboardSet::AddResult KeyboardSet::add(const char* directory, const char* name)
{
    if (std::strlen(name) >= sizeof(Keyboard::name)) {
        errno = ENAMETOOLONG;
        return AddResult::failed;
    }
    const int fd = openNode(directory, name);
    if (fd < 0)
        return AddResult::failed;

    struct stat status {};
    fstat(fd, &status);
    if (Keyboard* held = find(name)) {
        if (held->node == status.st_ino) {
            close(fd);
            return AddResult::alreadyHeld;
        }
        drop(*held);  // a new device under an old name
    }
    if (!isKeyboard(fd)) {
        close(fd);
        return AddResult::notKeyboard;
    }
    if (count_ == capacity) {
        close(fd);
        return AddResult::full;
    }
    maskAllEvents(fd);
    Keyboard& keyboard = keyboards_[count_++];
    keyboard.fd = fd;
    keyboard.node = status.st_ino;
    std::strcpy(keyboard.name, name);
    return AddResult::added;
}

void KeyboardSet::remove(const char* name)
{
    if (Keyboard* held = find(name))
        drop(*held);
}

void KeyboardSet::readKeys(KeyBitmap& keys)
{
    std::memset(keys, 0, sizeof(KeyBitmap));
    for (std::size_t i = 0; i < count_;) {
        KeyBitmap state;
        if (!readKeyState(keyboards_[i].fd, state)) {
            drop(keyboards_[i]);  // the last one moves here; read it next
            continue;
        }
        for (std::size_t byte = 0; byte < keyBitmapBytes; ++byte)
            keys[byte] |= state[byte];
        ++i;
    }
}

KeyboardSet::Keyboard* KeyboardSet::find(const char* name)
{
    for (std::size_t i = 0; i < count_; ++i)
        if (std::strcmp(keyboards_[i].name, name) == 0)
            return &keyboards_[i];
    return nullptr;
}

void KeyboardSet::drop(Keyboard& keyboard)
{
    close(keyboard.fd);
    keyboard = keyboards_[--count_];
}

}  // namespace evdev
