// The watcher run as a child process inside the test guest, its standard
// output and error on pipes. Every wait has a deadline.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace guest {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

// The one line the watcher writes on stderr once it watches.
inline const std::string banner = "Orvel macOS key watcher started\n";

struct WatcherOptions {
    // The tests' build, whose filter ends it on a call it does not allow;
    // /bin/orvel-keywatcher is the program shipped.
    const char* program = "/bin/orvel-keywatcher-strict";
    bool asUnprivilegedUser = false;  // uid and gid 65534, no groups
    bool ignoreSigpipe = false;  // start it with SIGPIPE ignored
    const char* stdoutPath = nullptr;  // a file instead of the pipe
    bool fullNonBlockingOutput = false;  // stdout a non-blocking pipe, already full
    bool closeStdinAndStdout = false;  // started with descriptors 0 and 1 closed
    int openFileLimit = 0;  // RLIMIT_NOFILE for the watcher, if not 0
    const char* workingDirectory = nullptr;  // started there, if set
    bool blockStopSignals = false;  // started with SIGINT and SIGTERM blocked
    // Started with supplementary groups, as sudo gives root its own, and
    // with inheritedFile open for writing as descriptors 3 and 200.
    bool inheritGroupsAndDescriptors = false;
};

inline const std::string inheritedFile = "/tmp/orvel-inherited";

struct Line {
    std::string text;  // without its line feed
    Clock::time_point read;  // when it was read from the pipe
};

class WatcherProcess {
public:
    explicit WatcherProcess(const WatcherOptions& options = {});
    ~WatcherProcess();  // kills the watcher if it still runs
    WatcherProcess(const WatcherProcess&) = delete;
    WatcherProcess& operator=(const WatcherProcess&) = delete;

    pid_t pid() const { return pid_; }

    // Waits for the start-up banner on stderr, after any messages before it;
    // false if it did not come.
    bool waitForBanner(Milliseconds timeout = Milliseconds(3000));

    // The next line on stdout, or nothing if none came in time.
    std::optional<Line> readLine(Milliseconds timeout = Milliseconds(1000));

    // The next line on stdout that is not the filler of a full output pipe.
    std::optional<Line> readLineAfterFiller(Milliseconds timeout = Milliseconds(1000));

    // Everything written on stdout within this time.
    std::string readFor(Milliseconds duration);

    // All of stderr so far, read without blocking.
    const std::string& errorText();

    void signal(int signalNumber);
    void closeOutput();  // the reader of stdout goes away

    // The raw wait status once the watcher has ended, or nothing in time.
    std::optional<int> waitForExit(Milliseconds timeout = Milliseconds(2000));
    bool running();

    // Peak resident memory in KiB, once the watcher has ended.
    long peakMemoryKib() const { return peakMemoryKib_; }

private:
    // Reads what arrives before the deadline into the buffer; false on
    // timeout or at the end of the stream.
    bool readMore(int fd, std::string& buffer, Clock::time_point deadline);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string out_;
    std::string err_;
    std::optional<int> status_;
    long peakMemoryKib_ = 0;
};

// Makes this process uid and gid 65534 with no groups; false if it cannot.
bool becomeUnprivilegedUser();

// Describes a wait status: "exit 0", "killed by signal 13".
std::string describeStatus(int status);

}  // namespace guest
