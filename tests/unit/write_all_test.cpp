// The change lines' way out when the reader is slow: a full non-blocking
// descriptor and partial writes must neither lose nor cut a line.
#include "output.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <csignal>
#include <string>
#include <thread>

#include "counted_writes.h"
#include "fake_key_state.h"
#include "stop.h"
#include "watch_loop.h"

namespace {

using std::chrono::milliseconds;

void setNonBlocking(int fd)
{
    ASSERT_EQ(fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK), 0);
}

// Everything the other end sends until it closes.
std::string readToEnd(int fd, milliseconds pauseBetweenReads, std::size_t chunk)
{
    std::string text;
    char buffer[4096];
    ssize_t length;
    while ((length = read(fd, buffer, std::min(chunk, sizeof buffer))) > 0) {
        text.append(buffer, static_cast<std::size_t>(length));
        std::this_thread::sleep_for(pauseBetweenReads);
    }
    return text;
}

TEST(WriteAll, PartialWritesToASlowReaderAreFinished)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const int small = 4096;
    setsockopt(ends[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    setNonBlocking(ends[0]);
    std::string sent;
    for (int i = 0; sent.size() < 256 * 1024; ++i)
        sent += "line " + std::to_string(i) + "\n";

    std::string received;
    std::thread reader([&] { received = readToEnd(ends[1], milliseconds(0), 1000); });
    EXPECT_EQ(writeAll(ends[0], sent.data(), sent.size()), 0);
    close(ends[0]);
    reader.join();
    close(ends[1]);
    EXPECT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent);
}

// A parent that shares a non-blocking pipe and has not read it yet: the line
// waits for room, and a stop signal during the wait ends the watcher only
// after the line is out, as during a blocking write.
TEST(WriteAll, FullNonBlockingPipeWaitsAndAStopSignalLetsTheLineFinish)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    setNonBlocking(ends[1]);
    std::string filler;
    while (write(ends[1], "#", 1) == 1)
        filler += '#';

    fake::reset();
    fake::setDown(kVK_Control, true);
    shouldRun.store(true);
    installStopHandlers();
    WatchedKeyTable keys = makeWatchedKeys();
    const pthread_t watcher = pthread_self();
    std::string received;
    std::thread slowReader([&] {
        std::this_thread::sleep_for(milliseconds(100));
        pthread_kill(watcher, SIGTERM);
        std::this_thread::sleep_for(milliseconds(50));
        received = readToEnd(ends[0], milliseconds(0), 4096);
    });
    EXPECT_EQ(watchLoop(keys, ends[1]), 0);
    const int passes = fake::passes();
    close(ends[1]);
    slowReader.join();
    close(ends[0]);
    fake::reset();

    EXPECT_EQ(passes, 1);
    EXPECT_EQ(received.size(), filler.size() + 7);
    EXPECT_EQ(received.substr(filler.size()), "D ctrl\n");
    EXPECT_TRUE(keys[1].lastState);
}

// A terminal whose output is held (Ctrl-S, or a slow terminal) and that a
// parent made non-blocking: the line waits without spinning, and completes
// once the terminal drains half a second later. (On macOS, poll() answers a
// terminal with POLLNVAL at once, which makes a poll() wait spin.) A wait
// that blocks makes a write or two; one that spins makes thousands, however
// busy the machine is.
TEST(WriteAll, HeldTerminalIsWaitedForWithoutSpinning)
{
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal), 0);
    ASSERT_EQ(unlockpt(terminal), 0);
    const int output = open(ptsname(terminal), O_RDWR | O_NOCTTY);
    ASSERT_GE(output, 0);
    termios raw{};
    ASSERT_EQ(tcgetattr(output, &raw), 0);
    cfmakeraw(&raw);
    ASSERT_EQ(tcsetattr(output, TCSANOW, &raw), 0);
    setNonBlocking(output);
    setNonBlocking(terminal);
    std::string filler(256, '#');
    std::size_t filled = 0;
    for (std::size_t size : {filler.size(), std::size_t{1}}) {
        ssize_t written;
        while ((written = write(output, filler.data(), size)) > 0)
            filled += static_cast<std::size_t>(written);
    }
    ASSERT_EQ(errno, EAGAIN);

    std::atomic<bool> lineOut{false};
    std::string received;
    std::thread terminalReader([&] {
        std::this_thread::sleep_for(milliseconds(500));
        char buffer[4096];
        for (;;) {
            const bool done = lineOut;
            const ssize_t length = read(terminal, buffer, sizeof buffer);
            if (length > 0)
                received.append(buffer, static_cast<std::size_t>(length));
            else if (done)
                break;
            else
                std::this_thread::sleep_for(milliseconds(1));
        }
    });
    counted::startCountingWrites();
    EXPECT_EQ(writeAll(output, "D shift\n", 8), 0);
    const long writes = counted::writesCounted();
    lineOut = true;
    terminalReader.join();
    close(output);
    close(terminal);

    EXPECT_LE(writes, 10) << "the wait spun";
    EXPECT_EQ(received.size(), filled + 8);
    EXPECT_EQ(received.substr(filled), "D shift\n");
}

// The pass ends at the write that failed, and the key keeps the state last
// reported for it.
TEST(WriteAll, FailedWriteEndsTheLoopWithItsErrorAndKeepsTheLastReportedState)
{
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (full < 0)
        GTEST_SKIP() << "this system has no /dev/full";
    fake::reset();
    fake::setDown(kVK_Control, true);
    shouldRun.store(true);
    WatchedKeyTable keys = makeWatchedKeys();
    EXPECT_EQ(watchLoop(keys, full), ENOSPC);
    EXPECT_FALSE(keys[1].lastState);
    EXPECT_EQ(fake::passes(), 1);
    close(full);
    fake::reset();
}

}  // namespace
