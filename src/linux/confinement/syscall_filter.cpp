// The allow-list (allowed_calls.cpp) compiled into a classic BPF program for
// seccomp, at build time to bound it and at start with the watcher's pid.
// Calls of any other calling convention (32-bit or x32 calls on a 64-bit
// kernel) are refused with the rest: the watcher makes none. The
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
#include "../evdev_device.h"
#include "../../confinement.h"
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
constexpr std::uint32_t standardStreams[] = {STDOUT_FILENO, STDERR_FILENO};

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

// The most instructions the program may take: the table's 36 to 39 calls
// compile to about 130. The filter is built at compile time as well, and a
// table that outgrows this, or a case too long for a jump's 8-bit offset,
// stops the build (the static_assert below).
constexpr std::size_t capacity = 192;

// A classic BPF program, built forward: every test either returns or goes
// on with the next one, and a case for one call skips to the next case.
class Program {
public:
    constexpr void load(std::uint32_t offset) { add(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offset)); }
    constexpr void ret(std::uint32_t action) { add(BPF_STMT(BPF_RET | BPF_K, action)); }

    // Each returns `action` when its test holds for the value loaded, and
    // otherwise goes on with the next instruction.
    constexpr void returnIf(std::uint32_t value, std::uint32_t action)
    {
        returnWhen(BPF_JEQ, value, true, action);
    }
    constexpr void returnUnless(std::uint32_t value, std::uint32_t action)
    {
        returnWhen(BPF_JEQ, value, false, action);
    }
    constexpr void returnIfAnyBit(std::uint32_t bits, std::uint32_t action)
    {
        returnWhen(BPF_JSET, bits, true, action);
    }
    constexpr void returnUnlessAnyBit(std::uint32_t bits, std::uint32_t action)
    {
        returnWhen(BPF_JSET, bits, false, action);
    }

    // The tests up to endCase() apply to this call alone and must end in a
    // return; any other call skips them. The call's number is loaded again.
    constexpr void beginCase(long call)
    {
        caseStart_ = size_;
        add(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(call), 0, 0));
    }
    constexpr void endCase()
    {
        const std::size_t skipped = size_ - caseStart_ - 1;
        if (skipped > 255 || caseStart_ >= capacity)
            overflowed_ = true;
        else
            code_[caseStart_].jf = static_cast<std::uint8_t>(skipped);
        load(offsetof(seccomp_data, nr));
    }

    constexpr bool fits() const { return !overflowed_; }
    constexpr std::size_t size() const { return size_; }

    // For the rest of the process's life. False where the kernel has
    // seccomp filters and refuses this one.
    bool install(ConfinementFailure& failure)
    {
        sock_fprog program{static_cast<unsigned short>(size_), code_};
        if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program, 0, 0) == 0)
            return true;
        // EINVAL: a kernel built without seccomp filters, which goes on
        // without one.
        return errno == EINVAL || failedStep(failure, "cannot install its system call filter");
    }

private:
    // The return follows the test; `holds` says on which outcome it is taken.
    constexpr void returnWhen(std::uint16_t test, std::uint32_t value, bool holds,
                              std::uint32_t action)
    {
        const std::uint8_t toReturn = 0, past = 1;
        add(BPF_JUMP(BPF_JMP | test | BPF_K, value, holds ? toReturn : past,
                     holds ? past : toReturn));
        ret(action);
    }

    constexpr void add(sock_filter instruction)
    {
        if (size_ < capacity)
            code_[size_++] = instruction;
        else
            overflowed_ = true;
    }

    sock_filter code_[capacity] = {};
    std::size_t size_ = 0;
    std::size_t caseStart_ = 0;
    bool overflowed_ = false;
};

template <std::size_t count>
constexpr void allowValues(Program& program, const std::uint32_t (&values)[count],
                           std::uint32_t refused)
{
    for (std::uint32_t value : values)
        program.returnIf(value, allow);
    program.ret(refused);
}

// The tests of one call's argument, the argument loaded. `self` is the
// watcher's own process.
constexpr void checkArgument(Program& program, Check check, std::uint32_t self,
                             std::uint32_t refused)
{
    switch (check) {
    case Check::ownRequests:
        allowValues(program, ownRequests, refused);
        break;
    case Check::readOnly:
        program.returnIfAnyBit(writingFlags, refused);
        program.ret(allow);
        break;
    case Check::notExecutable:
        program.returnIfAnyBit(PROT_EXEC, refused);
        program.ret(allow);
        break;
    case Check::anonymousNotExecutable:
        program.returnIfAnyBit(PROT_EXEC, refused);
        program.load(argument(3));  // the flags: no file's pages, nor a descriptor's
        program.returnUnlessAnyBit(MAP_ANONYMOUS, refused);
        program.ret(allow);
        break;
    case Check::ownDescriptorFlags:
        allowValues(program, ownDescriptorCommands, refused);
        break;
    case Check::ownProcess: {
        const std::uint32_t own[] = {self};
        allowValues(program, own, refused);
        break;
    }
    case Check::standardStreams:
        allowValues(program, standardStreams, refused);
        break;
    case Check::none:
        break;  // judged by number alone: see addCall
    }
}

// One call of the table, in the table's order, which puts the calls with a
// check first.
constexpr void addCall(Program& program, const AllowedCall& call, std::uint32_t self,
                       std::uint32_t refused)
{
    if (call.check == Check::none) {
        program.returnIf(static_cast<std::uint32_t>(call.number), allow);
        return;
    }
    program.beginCase(call.number);
    program.load(argument(call.argument));
    checkArgument(program, call.check, self, refused);
    program.endCase();
}

// The whole filter for the process `self`, a refused call given `refused`.
// Calls of another calling convention (a 32-bit call through int 0x80 on
// x86_64, whose numbers mean other calls) are refused before the table.
constexpr Program compile(std::uint32_t self, std::uint32_t refused)
{
    Program program;
    program.load(offsetof(seccomp_data, arch));
    program.returnUnless(ownArchitecture, refused);
    program.load(offsetof(seccomp_data, nr));
    for (const AllowedCall& call : allowedCalls)
        addCall(program, call, self, refused);
    program.ret(refused);
    return program;
}

static_assert(compile(0, 0).fits(),
              "the allowed calls outgrow the filter's program: raise its capacity");

}  // namespace

bool installSyscallFilter(ConfinementFailure& failure)
{
    if (ownArchitecture == 0)
        return true;
    Program program = compile(static_cast<std::uint32_t>(getpid()), refusal(EPERM));
    prepareForRefusals();
    return program.install(failure);
}

}  // namespace confinement
