#include "watcher_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace guest {

namespace {

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Fills a pipe that a slow reader has not read yet, and leaves it
// non-blocking for the writer: "#\n" lines up to the brim.
void fillNonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const char filler[] = "#\n#\n#\n#\n";
    while (write(fd, filler, sizeof filler - 1) > 0) {}
    while (write(fd, filler, 2) > 0) {}
}

// In the child, between fork and exec.
[[noreturn]] void execWatcher(const WatcherOptions& options, int out, int err)
{
    if (options.openFileLimit > 0) {
        const rlim_t limit = static_cast<rlim_t>(options.openFileLimit);
        const rlimit files{limit, limit};
        if (setrlimit(RLIMIT_NOFILE, &files) != 0)
            _exit(126);
    }
    if (options.closeStdinAndStdout) {
        close(0);
        close(1);
    } else if (options.stdoutPath) {
        const int file = open(options.stdoutPath, O_WRONLY);
        if (file < 0)
            _exit(126);
        dup2(file, 1);
    } else {
        dup2(out, 1);
    }
    dup2(err, 2);
    std::signal(SIGPIPE, options.ignoreSigpipe ? SIG_IGN : SIG_DFL);
    if (options.blockStopSignals) {
        sigset_t stops;
        sigemptyset(&stops);
        sigaddset(&stops, SIGINT);
        sigaddset(&stops, SIGTERM);
        sigprocmask(SIG_BLOCK, &stops, nullptr);
    }
    if (options.workingDirectory && chdir(options.workingDirectory) != 0)
        _exit(126);
    if (options.inheritGroupsAndDescriptors) {
        const gid_t groups[] = {4, 24, 27};
        const int file = open(inheritedFile.c_str(), O_RDWR | O_CREAT, 0600);
        if (setgroups(3, groups) != 0 || file < 0 || dup2(file, 3) != 3 || dup2(file, 200) != 200)
            _exit(126);
    }
    if (options.asUnprivilegedUser && !becomeUnprivilegedUser())
        _exit(126);
    execl(options.program, options.program, static_cast<char*>(nullptr));
    _exit(127);
}

}  // namespace

WatcherProcess::WatcherProcess(const WatcherOptions& options)
{
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        fail("pipe");
    if (options.fullNonBlockingOutput)
        fillNonBlocking(out[1]);
    pid_ = fork();
    if (pid_ < 0)
        fail("fork");
    if (pid_ == 0)
        execWatcher(options, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
}

WatcherProcess::~WatcherProcess()
{
    if (!status_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0)
        close(outFd_);
    close(errFd_);
}

bool WatcherProcess::readMore(int fd, std::string& buffer, Clock::time_point deadline)
{
    pollfd ready{fd, POLLIN, 0};
    const int events = poll(&ready, 1, remainingMs(deadline));
    if (events < 0 && errno != EINTR)
        fail("poll");
    if (events <= 0)
        return false;
    char chunk[4096];
    const ssize_t length = read(fd, chunk, sizeof chunk);
    if (length <= 0)
        return false;
    buffer.append(chunk, static_cast<size_t>(length));
    return true;
}

bool WatcherProcess::waitForBanner(Milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (err_.find(banner) == std::string::npos)
        if (!readMore(errFd_, err_, deadline))
            return false;
    return true;
}

std::optional<Line> WatcherProcess::readLine(Milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    std::size_t end;
    while ((end = out_.find('\n')) == std::string::npos)
        if (!readMore(outFd_, out_, deadline))
            return std::nullopt;
    Line line{out_.substr(0, end), Clock::now()};
    out_.erase(0, end + 1);
    return line;
}

std::optional<Line> WatcherProcess::readLineAfterFiller(Milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    std::optional<Line> line;
    do
        line = readLine(std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()));
    while (line && line->text == "#");
    return line;
}

std::string WatcherProcess::readFor(Milliseconds duration)
{
    const auto deadline = Clock::now() + duration;
    while (readMore(outFd_, out_, deadline)) {}
    // At the end of the stream, wait out the time all the same.
    if (Clock::now() < deadline)
        std::this_thread::sleep_until(deadline);
    std::string text;
    text.swap(out_);
    return text;
}

const std::string& WatcherProcess::errorText()
{
    while (readMore(errFd_, err_, Clock::now())) {}
    return err_;
}

void WatcherProcess::signal(int signalNumber)
{
    kill(pid_, signalNumber);
}

void WatcherProcess::closeOutput()
{
    close(outFd_);
    outFd_ = -1;
}

std::optional<int> WatcherProcess::waitForExit(Milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!status_) {
        int status = 0;
        rusage usage{};
        const pid_t done = wait4(pid_, &status, WNOHANG, &usage);
        if (done == pid_) {
            status_ = status;
            peakMemoryKib_ = usage.ru_maxrss;
        } else if (Clock::now() >= deadline)
            return std::nullopt;
        else
            std::this_thread::sleep_for(Milliseconds(2));
    }
    return status_;
}

bool WatcherProcess::running()
{
    return !waitForExit(Milliseconds(0));
}

bool becomeUnprivilegedUser()
{
    return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
}

std::string describeStatus(int status)
{
    if (WIFEXITED(status))
        return "exit " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status)) + " (" +
               strsignal(WTERMSIG(status)) + ")";
    return "status " + std::to_string(status);
}

}  // namespace guest
