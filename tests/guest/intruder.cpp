#include "intruder.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/keyctl.h>
#include <pty.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/inotify.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <vector>

#include "confinement.h"
#include "linux/evdev_device.h"
#include "linux/ioctl_request.h"
#include "guest_check.h"
#include "watcher_process.h"

namespace guest {

namespace {

const std::string reportEnd = "(end of the report)";

bool opens(const std::string& path, int flags)
{
    const int fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

// True where a call reached the kernel rather than the filter's refusal.
// Called with arguments that make it fail harmlessly, or do nothing, there.
bool reaches(long call, long a = 0, long b = 0, long c = 0, long d = 0, long e = 0)
{
    return syscall(call, a, b, c, d, e, 0) >= 0 || (errno != EPERM && errno != ENOSYS);
}

bool ioctlWorks(int fd, unsigned long request, void* argument)
{
    return fd >= 0 && ioctl(fd, evdev::ioctlRequest(request), argument) == 0;
}

// Calls an intruder would want, each given arguments that would only fail
// or change nothing, were it let through.
struct Reach {
    const char* what;
    long call;
    long a, b, c;
};
const Reach reachable[] = {
    {"run a program", SYS_execve, 0, 0, 0},
    {"run a program from a descriptor", SYS_execveat, -1, 0, 0},
    {"start a process", SYS_clone, -1, 0, 0},
    {"send descriptors over a socket", SYS_sendmsg, -1, 0, 0},
    {"change a file's mode by descriptor", SYS_fchmod, -1, 0, 0},
    {"change a file's owner by descriptor", SYS_fchown, -1, 0, 0},
    {"truncate by descriptor", SYS_ftruncate, -1, 0, 0},
    {"set an attribute by descriptor", SYS_fsetxattr, -1, 0, 0},
    {"open by file handle", SYS_open_by_handle_at, -1, 0, 0},
    {"mount", SYS_mount, 0, 0, 0},
    {"change root", SYS_chroot, 0, 0, 0},
    {"enter a namespace", SYS_setns, -1, 0, 0},
    {"load a kernel module", SYS_finit_module, -1, 0, 0},
    {"load a BPF program", SYS_bpf, -1, 0, 0},
    {"open a perf event", SYS_perf_event_open, 0, 0, 0},
    {"set up io_uring", SYS_io_uring_setup, 0, 0, 0},
    {"make a userfaultfd", SYS_userfaultfd, -1, 0, 0},
    {"watch with fanotify", SYS_fanotify_init, -1, 0, 0},
    {"compare another process's resources", SYS_kcmp, 0, 0, -1},
    {"write another process's memory", SYS_process_vm_writev, 0, 0, 0},
    {"trace a process", SYS_ptrace, -1, 0, 0},
    {"take another process's descriptor", SYS_pidfd_getfd, -1, 0, 0},
    {"ask for a key", SYS_request_key, 0, 0, 0},
    {"read the kernel's log", SYS_syslog, -1, 0, 0},
    {"set the time", SYS_settimeofday, 0, 0, 0},
    {"change its limits", SYS_prlimit64, 0, -1, 0},
    {"change its user", SYS_setresuid, -1, -1, -1},
    {"change its groups", SYS_setresgid, -1, -1, -1},
    {"add a filter", SYS_seccomp, -1, 0, 0},
    {"make a Landlock ruleset", SYS_landlock_create_ruleset, 0, 0, -1},
    {"lock memory", SYS_mlockall, 0, 0, 0},
};

// Devices beneath /dev whose mere opening, read-only, has effects: a
// pseudo-terminal made, a terminal's typing taken, a console at its login,
// a serial line's modem signals raised, a watchdog armed; and plain ones.
const char* const otherDevices[] = {"/dev/ptmx", "/dev/tty", "/dev/console", "/dev/tty1",
                                    "/dev/ttyS0", "/dev/ttyAMA0", "/dev/watchdog", "/dev/null"};

bool opensAnyOtherDevice()
{
    for (const char* device : otherDevices)
        if (opens(device, O_RDONLY | O_NOCTTY | O_NONBLOCK))
            return true;
    return false;
}

// chmod(path, 04755) through the 32-bit entry, where i386's chmod (15) is
// x86_64's rt_sigreturn: only the filter's check of the calling convention
// keeps it from the kernel. A kernel without that entry faults it.
#if defined(__x86_64__)
sigjmp_buf faulted;
#endif

bool chmodsThrough32BitEntry([[maybe_unused]] char* path)
{
#if defined(__x86_64__)
    struct sigaction catcher {}, before {};
    catcher.sa_handler = [](int) { siglongjmp(faulted, 1); };
    sigaction(SIGSEGV, &catcher, &before);
    long result = -1;
    if (sigsetjmp(faulted, 1) == 0) {
        const long call = 15;
        asm volatile("int $0x80"
                     : "=a"(result)
                     : "a"(call), "b"(path), "c"(04755L)
                     : "memory");
    }
    sigaction(SIGSEGV, &before, nullptr);
    return result == 0;
#else
    return false;  // no such entry on aarch64
#endif
}

struct Attempt {
    const char* what;
    bool allowed;  // what the watcher needs; every other attempt must fail
    std::function<bool()> succeeds;
};

}  // namespace

std::string tryAsIntruder(const IntruderTargets& t)
{
    const std::string made = t.ownFolder + "/made";
    const bool root = t.root;
    char byte = 0;
    iovec mine{&byte, 1}, theirs{&byte, 1};
    const char pushed = 'x';
    winsize size{};
    termios settings{};
    const std::vector<Attempt> attempts = {
        // what the watcher needs
        {"read a keyboard's keys", true, [&] {
             evdev::KeyBitmap keys;
             const int fd = evdev::openNode(t.keyboard.c_str());
             return t.keyboard.empty() || (fd >= 0 && evdev::readKeyState(fd, keys));
         }},
        {"read sysfs", true,
         [&] { return read(open(t.sysfsFile.c_str(), O_RDONLY), &byte, 1) == 1; }},
        {"list /dev/input", true,
         [] {
             struct stat folder {};
             return stat("/dev/input", &folder) != 0 || opens("/dev/input", O_RDONLY | O_DIRECTORY);
         }},
        {"sleep", true, [] { return usleep(1000) == 0; }},
        // files and their metadata
        {"open its user's file for writing", false, [&] { return opens(t.ownFile, O_WRONLY); }},
        {"make a file", false, [&] { return opens(made, O_WRONLY | O_CREAT); }},
        {"make a folder", false, [&] { return mkdir(made.c_str(), 0700) == 0; }},
        {"make a FIFO", false, [&] { return mkfifo(made.c_str(), 0600) == 0; }},
        {"make a link", false, [&] { return link(t.ownFile.c_str(), made.c_str()) == 0; }},
        {"make a symbolic link", false, [&] { return symlink("/", made.c_str()) == 0; }},
        {"remove a file", false, [&] { return unlink(t.ownFile.c_str()) == 0; }},
        {"rename a file", false, [&] { return rename(t.ownFile.c_str(), made.c_str()) == 0; }},
        {"truncate a file", false, [&] { return truncate(t.ownFile.c_str(), 0) == 0; }},
        {"chmod a file 4755", false, [&] { return chmod(t.ownFile.c_str(), 04755) == 0; }},
        {"chown a file", false, [&] { return chown(t.ownFile.c_str(), getuid(), getegid()) == 0; }},
        {"change a file's times", false,
         [&] { return utimensat(AT_FDCWD, t.ownFile.c_str(), nullptr, 0) == 0; }},
        {"set an extended attribute", false,
         [&] { return setxattr(t.ownFile.c_str(), "user.orvel", "x", 1, 0) == 0; }},
        {"read a file outside /dev and /sys", !t.landlock,
         [&] { return opens(t.ownFile, O_RDONLY); }},
        // other processes
        {"signal another process", false, [&] { return kill(t.sameUser, 0) == 0; }},
        {"signal init", false, [] { return kill(1, 0) == 0; }},
        {"signal a thread of another", false,
         [&] { return syscall(SYS_tgkill, t.sameUser, t.sameUser, 0) == 0; }},
        {"change another's priority", false,
         [&] { return setpriority(PRIO_PROCESS, static_cast<id_t>(t.sameUser), 0) == 0; }},
        {"read another's limits", false,
         [&] {
             rlimit limit{};
             return prlimit(t.sameUser, RLIMIT_NOFILE, nullptr, &limit) == 0;
         }},
        {"read another's memory", false,
         [&] { return process_vm_readv(t.sameUser, &mine, 1, &theirs, 1, 0) == 1; }},
        {"aim its signals at another", false,
         [&] { return fcntl(t.given, F_SETOWN, t.sameUser) == 0; }},
        {"open another's pidfd", false, [&] { return syscall(SYS_pidfd_open, t.sameUser, 0) >= 0; }},
        // terminals
        {"push text into its terminal", false,
         [&] { return ioctlWorks(t.terminal, TIOCSTI, const_cast<char*>(&pushed)); }},
        {"push text through /dev/tty", false,
         [&] {
             return ioctlWorks(open("/dev/tty", O_RDONLY | O_NOCTTY), TIOCSTI,
                               const_cast<char*>(&pushed));
         }},
        {"read its terminal's settings", false,
         [&] { return ioctlWorks(t.terminal, TCGETS, &settings); }},
        {"resize its terminal", false, [&] { return ioctlWorks(t.terminal, TIOCSWINSZ, &size); }},
        {"ask a virtual console", false,
         [&] {
             char subcode = 6;  // TIOCL_GETSHIFTSTATE
             return ioctlWorks(open("/dev/tty0", O_RDONLY | O_NOCTTY), TIOCLINUX, &subcode);
         }},
        // namespaces and keyrings
        {"make a user namespace", false, [] { return unshare(CLONE_NEWUSER) == 0; }},
        {"make a mount namespace", false, [] { return unshare(CLONE_NEWNS) == 0; }},
        {"add a key", false,
         [] {
             return syscall(SYS_add_key, "user", "orvel-probe", "x", 1,
                            KEY_SPEC_PROCESS_KEYRING) >= 0;
         }},
        {"join a new keyring", false,
         [] { return syscall(SYS_keyctl, KEYCTL_JOIN_SESSION_KEYRING, nullptr) >= 0; }},
        // inotify, beyond the one watch on /dev/input
        {"make an inotify instance", false, [] { return inotify_init1(IN_CLOEXEC) >= 0; }},
        {"watch another folder", false,
         [&] {
             for (int fd = 3; fd < 64; ++fd)
                 if (inotify_add_watch(fd, t.ownFolder.c_str(), IN_CREATE) >= 0)
                     return true;
             return false;
         }},
        // devices
        {"open a keyboard for writing", false,
         [&] { return !t.keyboard.empty() && opens(t.keyboard, O_RDWR); }},
        {"grab a keyboard", false,
         [&] {
             int grab = 1;
             return !t.keyboard.empty() &&
                    ioctlWorks(evdev::openNode(t.keyboard.c_str()), EVIOCGRAB, &grab);
         }},
        {"ask a keyboard for its name", false,
         [&] {
             char name[64];
             return !t.keyboard.empty() &&
                    ioctlWorks(evdev::openNode(t.keyboard.c_str()), EVIOCGNAME(sizeof name), name);
         }},
        {"make keys through uinput", false, [] { return opens("/dev/uinput", O_WRONLY); }},
        {"read root's file beneath /dev", root && !t.landlock,
         [&] { return opens(t.rootsDeviceFile, O_RDONLY); }},
        {"open a device beneath /dev that is no keyboard, read-only", !t.landlock,
         opensAnyOtherDevice},
        {"list /dev", !t.landlock, [] { return opens("/dev", O_RDONLY | O_DIRECTORY); }},
        // descriptors it was given (the watcher closes them first of all)
        {"write to a descriptor it was given", false, [&] { return write(t.given, "x", 1) == 1; }},
        {"map a file it was given, shared", false,
         [&] {
             return mmap(nullptr, 1, PROT_READ | PROT_WRITE, MAP_SHARED, t.given, 0) != MAP_FAILED;
         }},
        {"map a file it was given, private", false,
         [&] { return mmap(nullptr, 1, PROT_READ, MAP_PRIVATE, t.given, 0) != MAP_FAILED; }},
        // the 32-bit entry
        {"change a file's mode through the 32-bit entry", false,
         [&] { return chmodsThrough32BitEntry(t.lowPath); }},
        // memory
        {"map executable memory", false,
         [] {
             return mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1,
                         0) != MAP_FAILED;
         }},
        {"make memory executable", false,
         [] {
             void* page = mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
             return page != MAP_FAILED && mprotect(page, 4096, PROT_READ | PROT_EXEC) == 0;
         }},
        {"make reading imply running", false,
         [] { return personality(READ_IMPLIES_EXEC) != -1; }},
        {"make a memory file", false, [] { return syscall(SYS_memfd_create, "x", 0) >= 0; }},
        // programs, sockets, privileges
        {"run /bin/sh", false, [] { return system("exit 0") == 0; }},
        {"open a Unix socket", false, [] { return socket(AF_UNIX, SOCK_STREAM, 0) >= 0; }},
        {"open an IP socket", false, [] { return socket(AF_INET, SOCK_DGRAM, 0) >= 0; }},
        {"make a socket pair", false,
         [] {
             int pair[2];
             return socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0;
         }},
        {"become root again", false, [&] { return !root && setuid(0) == 0; }},
        {"become dumpable", false, [] { return prctl(PR_SET_DUMPABLE, 1) == 0; }},
    };
    std::string report;
    for (const Attempt& attempt : attempts)
        if (attempt.succeeds() != attempt.allowed)
            report += std::string(attempt.allowed ? "cannot " : "can ") + attempt.what + "; ";
    for (const Reach& call : reachable)
        if (reaches(call.call, call.a, call.b, call.c))
            report += std::string("can ") + call.what + " (the call reached the kernel); ";
    return report;
}

namespace {

// A process of the probe's user that only waits to be a target.
pid_t startTarget(bool unprivileged)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (unprivileged)
            becomeUnprivilegedUser();
        for (;;)
            pause();
    }
    return pid;
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

}  // namespace

std::string probeConfinement(bool unprivileged, const std::string& keyboard, bool leavesRoot)
{
    if (geteuid() != 0)
        throw Skipped("the probe sets up files for root and another user: run it as root");
    const uid_t user = unprivileged ? 65534 : 0;
    IntruderTargets targets;
    targets.ownFolder = unprivileged ? "/tmp/orvel-probe-user" : "/tmp/orvel-probe-root";
    targets.ownFile = targets.ownFolder + "/file";
    targets.rootsDeviceFile = "/dev/shm/orvel-probe-secret";
    targets.keyboard = keyboard;
    targets.sysfsFile = "/sys/kernel/uevent_seqnum";
    targets.landlock = syscall(SYS_landlock_create_ruleset, nullptr, 0, 1) >= 1;
    targets.root = !unprivileged && !leavesRoot;
    std::system(("rm -rf " + targets.ownFolder).c_str());
    mkdir(targets.ownFolder.c_str(), 0755);
    std::ofstream(targets.ownFile) << "x";
    if (chown(targets.ownFolder.c_str(), user, user) != 0 ||
        chown(targets.ownFile.c_str(), user, user) != 0)
        return "cannot give the probe's files to its user; ";
    mkdir("/dev/shm", 01777);
    std::ofstream(targets.rootsDeviceFile) << "secret";
    chmod(targets.rootsDeviceFile.c_str(), 0600);
    targets.sameUser = startTarget(unprivileged);
    targets.given = open(targets.ownFile.c_str(), O_RDWR);
#if defined(__x86_64__)
    void* low = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (low != MAP_FAILED)
        targets.lowPath = static_cast<char*>(std::memcpy(low, targets.ownFile.c_str(), targets.ownFile.size() + 1));
#endif

    int report[2];
    if (pipe(report) != 0)
        return "pipe; ";
    const pid_t probe = fork();
    if (probe == 0) {
        close(report[0]);
        // Its own controlling terminal, as a watcher started from a shell has.
        int master = -1;
        setsid();
        if (openpty(&master, &targets.terminal, nullptr, nullptr, nullptr) == 0)
            ioctl(targets.terminal, TIOCSCTTY, 0);
        if (unprivileged && !becomeUnprivilegedUser())
            _exit(2);
        // The report goes out on standard output: the filter allows writing
        // there alone. It ends with a mark, so that a report lost is no pass.
        dup2(report[1], STDOUT_FILENO);
        ConfinementFailure failure;
        if (!confineToReadingKeys(failure))
            _exit(3);
        const std::string found = tryAsIntruder(targets) + reportEnd;
        (void)!write(STDOUT_FILENO, found.data(), found.size());
        _exit(0);
    }
    close(report[1]);
    std::string found = readAll(report[0]);
    close(report[0]);
    int status = 0;
    waitpid(probe, &status, 0);
    kill(targets.sameUser, SIGKILL);
    waitpid(targets.sameUser, nullptr, 0);
    unlink(targets.rootsDeviceFile.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        found += "the probe ended with status " + std::to_string(status) + "; ";
    const std::size_t end = found.find(reportEnd);
    return end == std::string::npos ? found + "its report did not come whole; " : found.erase(end, reportEnd.size());
}

}  // namespace guest
