// The kernel's ioctl request numbers (EVIOC..., UI_...) as the C library's
// ioctl() takes them: unsigned long in glibc, int in musl.
#pragma once

#include <sys/ioctl.h>

namespace evdev {

template <typename> struct RequestOf;
template <typename Result, typename Fd, typename Request>
struct RequestOf<Result(Fd, Request, ...)> {
    using type = Request;
};
template <typename Result, typename Fd, typename Request>
struct RequestOf<Result(Fd, Request, ...) noexcept> {
    using type = Request;
};

inline auto ioctlRequest(unsigned long request)
{
    return static_cast<RequestOf<decltype(::ioctl)>::type>(request);
}

}  // namespace evdev
