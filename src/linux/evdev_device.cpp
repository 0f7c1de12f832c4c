#include "evdev_device.h"

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "descriptors.h"
#include "ioctl_request.h"

namespace evdev {

namespace {

int deviceIoctl(int fd, unsigned long request, void* argument)
{
    return ioctl(fd, ioctlRequest(request), argument);
}

// An ioctl that a signal interrupted while it waited for the device's lock:
// that is no failure of the device, so it is asked again.
int ioctlRetrying(int fd, unsigned long request, void* argument)
{
    int result;
    do
        result = deviceIoctl(fd, request, argument);
    while (result < 0 && errno == EINTR);
    return result;
}

int spareDescriptor = -1;

bool isDescriptorShortage(int error)
{
    return error == EMFILE || error == ENFILE;
}

// The sysfs file, opened with the spare descriptor if need be.
int openSysfs(const char* path)
{
    int fd = openAbove(path, O_RDONLY);
    if (fd >= 0 || !isDescriptorShortage(errno) || spareDescriptor < 0)
        return fd;
    close(spareDescriptor);
    spareDescriptor = -1;
    return openAbove(path, O_RDONLY);
}

}  // namespace

void reserveSpareDescriptor()
{
    if (spareDescriptor < 0)
        spareDescriptor = openAbove("/", O_PATH);
}

DeviceKind kindFromSysfs(dev_t device)
{
    char path[96];
    std::snprintf(path, sizeof path, "/sys/dev/char/%u:%u/device/capabilities/key", major(device),
                  minor(device));
    const int fd = openSysfs(path);
    if (fd < 0) {
        const int error = errno;
        reserveSpareDescriptor();
        errno = error;
        return isDescriptorShortage(error) || error == ENOMEM ? DeviceKind::notYet
                                                              : DeviceKind::unknown;
    }
    char text[1024];
    const ssize_t length = read(fd, text, sizeof text - 1);
    close(fd);
    reserveSpareDescriptor();
    // A bitmap too long for the buffer would lose its lowest words, which
    // come last: the device is then asked itself.
    if (length <= 0 || static_cast<std::size_t>(length) == sizeof text - 1)
        return DeviceKind::unknown;
    text[length] = '\0';
    KeyBitmap capabilities;
    if (!parseCapabilityWords(text, capabilities, keyBitmapWords))
        return DeviceKind::unknown;
    return hasModifierKey(capabilities, keyBitmapWords) ? DeviceKind::keyboard : DeviceKind::other;
}

int openNode(const char* path)
{
    return openAbove(path, O_RDONLY | O_NONBLOCK);
}

DeviceKind kindOfOpenDevice(int fd)
{
    KeyBitmap capabilities{};
    // Not retried here on EINTR: the caller tries the node again later.
    if (deviceIoctl(fd, keyCapabilitiesRequest, capabilities) < 0)
        return DeviceKind::unknown;
    return hasModifierKey(capabilities, keyBitmapWords) ? DeviceKind::keyboard : DeviceKind::other;
}

// The kernel takes the mask in whole longs. Kernels before 4.4 lack the call;
// that only costs them a full queue.
void maskAllEvents(int fd)
{
    const unsigned long noTypes[(EV_CNT + bitsPerLong - 1) / bitsPerLong] = {};
    input_mask mask{};
    mask.type = 0;  // the mask of event types itself
    mask.codes_size = sizeof noTypes;
    mask.codes_ptr = reinterpret_cast<std::uintptr_t>(noTypes);
    ioctlRetrying(fd, eventMaskRequest, &mask);
}

bool readKeyState(int fd, KeyBitmap& state)
{
    return ioctlRetrying(fd, keyStateRequest, state) >= 0;
}

}  // namespace evdev
