// The allow-list (allowed_calls.cpp) compiled into a classic BPF program for
// seccomp. Calls of any other calling convention (32-bit or x32 calls on a
// 64-bit kernel) are refused with the rest: the watcher makes none. The
// per-pass ioctl is tested first, so that its check costs a handful of
// instructions; the calls allowed by number alone are remembered by the
// kernel and run no filter at all.
#include "syscall_filter.h"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "allowed_calls.h"
#include "evdev_device.h"
#include "filter_refusal.h"

namespace confinement {

namespace {

// The calling convention the filter is written for.
#if defined(__x86_64__) && !defined(__ILP32__)
constexpr std::uint32_t ownArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__) && !defined(__ILP32__)
constexpr std::uint32_t ownArchitecture = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t ownArchitecture = 0;  // not written for: no filter
#endif

constexpr std::uint32_t allow = SECCOMP_RET_ALLOW;
constexpr std::uint32_t absent = SECCOMP_RET_ERRNO | ENOSYS;

constexpr std::uint32_t writingFlags = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC;
constexpr std::uint32_t ownRequests[] = {
    static_cast<std::uint32_t>(evdev::keyStateRequest),
    static_cast<std::uint32_t>(evdev::keyCapabilitiesRequest),
    static_cast<std::uint32_t>(evdev::eventMaskRequest),
};
// F_DUPFD_CLOEXEC lifts a descriptor above the standard streams; the C
// libraries' fdopendir() reads and sets the descriptor's flags. Nothing
// that would send a signal elsewhere (F_SETOWN, F_SETSIG) or take a lease.
constexpr std::uint32_t ownDescriptorCommands[] = {F_DUPFD_CLOEXEC, F_GETFD, F_SETFD, F_GETFL};

// The low 32 bits of a call's argument, on either byte order: every
// argument checked is a 32-bit one to the kernel (flags, a request, a
// process number), or has its checked bit there (PROT_EXEC).
constexpr std::uint32_t argument(std::size_t index)
{
    return static_cast<std::uint32_t>(offsetof(seccomp_data, args) + 8 * index +
                                      (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? 4 : 0));
}

// A classic BPF program, built forward: every test either returns or goes
// on with the next one, and a case for one call skips to the next case.
class Program {
public:
    void load(std::uint32_t offset) { add(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offset)); }
    void ret(std::uint32_t action) { add(BPF_STMT(BPF_RET | BPF_K, action)); }

    // Each returns `action` when its test holds for the value loaded, and
    // otherwise goes on with the next instruction.
    void returnIf(std::uint32_t value, std::uint32_t action)
    {
        returnWhen(BPF_JEQ, value, true, action);
    }
    void returnUnless(std::uint32_t value, std::uint32_t action)
    {
        returnWhen(BPF_JEQ, value, false, action);
    }
    void returnIfAnyBit(std::uint32_t bits, std::uint32_t action)
    {
        returnWhen(BPF_JSET, bits, true, action);
    }

    // The tests up to endCase() apply to this call alone and must end in a
    // return; any other call skips them. The call's number is loaded again.
    void beginCase(long call)
    {
        caseStart_ = size_;
        add(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(call), 0, 0));
    }
    void endCase()
    {
        code_[caseStart_].jf = static_cast<std::uint8_t>(size_ - caseStart_ - 1);
        load(offsetof(seccomp_data, nr));
    }

    // For the rest of the process's life; a kernel without seccomp filters
    // refuses it, and nothing changes.
    void install()
    {
        sock_fprog program{size_, code_};
        if (!overflowed_)
            prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program, 0, 0);
    }

private:
    // The return follows the test; `holds` says on which outcome it is taken.
    void returnWhen(std::uint16_t test, std::uint32_t value, bool holds, std::uint32_t action)
    {
        const std::uint8_t toReturn = 0, past = 1;
        add(BPF_JUMP(BPF_JMP | test | BPF_K, value, holds ? toReturn : past,
                     holds ? past : toReturn));
        ret(action);
    }

    void add(sock_filter instruction)
    {
        if (size_ < sizeof code_ / sizeof code_[0])
            code_[size_++] = instruction;
        else
            overflowed_ = true;
    }

    sock_filter code_[192] = {};
    unsigned short size_ = 0;
    unsigned short caseStart_ = 0;
    bool overflowed_ = false;
};

template <std::size_t count>
void allowValues(Program& program, const std::uint32_t (&values)[count])
{
    for (std::uint32_t value : values)
        program.returnIf(value, allow);
    program.ret(refusal(EPERM));
}

// The tests of one call's argument, the argument loaded. `self` is the
// watcher's own process.
void checkArgument(Program& program, Check check, std::uint32_t self)
{
    switch (check) {
    case Check::ownRequests:
        allowValues(program, ownRequests);
        break;
    case Check::readOnly:
        program.returnIfAnyBit(writingFlags, refusal(EPERM));
        program.ret(allow);
        break;
    case Check::notExecutable:
        program.returnIfAnyBit(PROT_EXEC, refusal(EPERM));
        program.ret(allow);
        break;
    case Check::ownDescriptorFlags:
        allowValues(program, ownDescriptorCommands);
        break;
    case Check::ownProcess: {
        const std::uint32_t own[] = {self};
        allowValues(program, own);
        break;
    }
    case Check::none:
    case Check::absent:
        break;  // judged by number alone: see addCall
    }
}

// One call of the table, in the table's order, which puts the calls with a
// check first.
void addCall(Program& program, const AllowedCall& call, std::uint32_t self)
{
    if (call.check == Check::none || call.check == Check::absent) {
        program.returnIf(static_cast<std::uint32_t>(call.number),
                         call.check == Check::none ? allow : absent);
        return;
    }
    program.beginCase(call.number);
    program.load(argument(call.argument));
    checkArgument(program, call.check, self);
    program.endCase();
}

}  // namespace

void installSyscallFilter()
{
    if (ownArchitecture == 0)
        return;
    const auto self = static_cast<std::uint32_t>(getpid());
    Program program;
    program.load(offsetof(seccomp_data, arch));
    program.returnUnless(ownArchitecture, refusal(EPERM));
    program.load(offsetof(seccomp_data, nr));
    for (std::size_t i = 0; i < allowedCallCount; ++i)
        addCall(program, allowedCalls[i], self);
    program.ret(refusal(EPERM));
    prepareForRefusals();
    program.install();
}

}  // namespace confinement
