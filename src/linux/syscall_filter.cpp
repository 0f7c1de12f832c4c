// The calls refused: running a program; sockets, and the passing of
// descriptors over one the watcher was given; tracing another process or
// reaching into its memory; io_uring, whose work no filter sees; opening a
// file for writing; and making the process dumpable again (a setgid process
// is not, so its user cannot reach its descriptors). Refused with EPERM,
// never by killing: an unforeseen call of the C library must not end the
// watcher. The calls of every pass (ioctl, the sleep) are judged by their
// number alone, which the kernel remembers (Linux 5.11 on): no filter runs
// for them. Checking
// the ioctl's request too would keep a keyboard from being grabbed or
// remapped through the watcher, but it ran the filter on every ioctl and
// cost a sixth more idle CPU with 16 keyboards under emulation.
#include "syscall_filter.h"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace confinement {

namespace {

// The calling convention the filter is written for; calls of any other (a
// 32-bit call on a 64-bit kernel) are refused, as the watcher makes none.
#if defined(__x86_64__) && !defined(__ILP32__)
constexpr std::uint32_t ownArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__) && !defined(__ILP32__)
constexpr std::uint32_t ownArchitecture = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t ownArchitecture = 0;  // not written for: no filter
#endif

// x86_64's x32 calls carry this bit in their number; no other numbers reach it.
constexpr std::uint32_t x32CallBit = 0x40000000;

// clang-format off
constexpr long refusedCalls[] = {
    // running a program
    SYS_execve, SYS_execveat,
    // sockets, and descriptors passed over one the watcher was given
    SYS_socket, SYS_socketpair, SYS_connect, SYS_bind, SYS_listen, SYS_accept, SYS_accept4,
    SYS_sendmsg, SYS_sendmmsg, SYS_recvmsg, SYS_recvmmsg,
    // other processes
    SYS_ptrace, SYS_process_vm_readv, SYS_process_vm_writev, SYS_pidfd_getfd,
    // io_uring, whose work no filter sees; openat2, whose flags it cannot see
    SYS_io_uring_setup, SYS_io_uring_enter, SYS_io_uring_register, SYS_openat2,
#ifdef SYS_creat
    SYS_creat,
#endif
};
// clang-format on

constexpr std::uint32_t writingFlags = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC;
constexpr std::uint32_t allow = SECCOMP_RET_ALLOW;
constexpr std::uint32_t refuse = SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA);

// The low 32 bits of a call's argument, on either byte order.
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
    void returnIfAtLeast(std::uint32_t value, std::uint32_t action)
    {
        returnWhen(BPF_JGE, value, true, action);
    }
    void returnIfAnyBit(std::uint32_t bits, std::uint32_t action)
    {
        returnWhen(BPF_JSET, bits, true, action);
    }

    // The tests up to endCase() apply to this call alone and must end in a
    // return; any other call skips them. The call's number is loaded.
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

    sock_filter code_[96] = {};
    unsigned short size_ = 0;
    unsigned short caseStart_ = 0;
    bool overflowed_ = false;
};

// open and openat: read-only opens only.
void refuseWriting(Program& program, long call, std::size_t flagsArgument)
{
    program.beginCase(call);
    program.load(argument(flagsArgument));
    program.returnIfAnyBit(writingFlags, refuse);
    program.ret(allow);
    program.endCase();
}

}  // namespace

void installSyscallFilter()
{
    if (ownArchitecture == 0)
        return;
    Program program;
    program.load(offsetof(seccomp_data, arch));
    program.returnUnless(ownArchitecture, refuse);
    program.load(offsetof(seccomp_data, nr));
    program.returnIfAtLeast(x32CallBit, refuse);

    for (long call : refusedCalls)
        program.returnIf(static_cast<std::uint32_t>(call), refuse);
    refuseWriting(program, SYS_openat, 2);
#ifdef SYS_open
    refuseWriting(program, SYS_open, 1);
#endif
    program.beginCase(SYS_prctl);
    program.load(argument(0));
    program.returnIf(PR_SET_DUMPABLE, refuse);
    program.ret(allow);
    program.endCase();
    program.ret(allow);
    program.install();
}

}  // namespace confinement
