// Output on Windows: WriteFile on the standard handles, the bytes exactly as
// given. The C runtime's streams are not used: in text mode they write CR LF
// for a line feed, and they buffer standard error when it is a pipe or a
// file, which would hold the banner back until the watcher exits.
#include <windows.h>

#include <cstring>

#include "../exit_status.h"
#include "../output.h"

namespace {

// Windows has no SIGPIPE; these are what a pipe whose reader has gone says:
// an anonymous pipe, a named pipe whose client closed it, and (under Wine, a
// POSIX pipe or FIFO) one no longer connected.
constexpr DWORD readerGoneErrors[] = {ERROR_BROKEN_PIPE, ERROR_NO_DATA, ERROR_PIPE_NOT_CONNECTED};

bool readerHasGone(DWORD error)
{
    for (const DWORD gone : readerGoneErrors)
        if (error == gone)
            return true;
    return false;
}

}  // namespace

OutputHandle standardOutput()
{
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

int writeAll(OutputHandle out, const char* data, std::size_t size)
{
    while (size > 0) {
        const DWORD chunk = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(out, data, chunk, &written, nullptr)) {
            const DWORD error = GetLastError();
            // Ends the watcher at once, as SIGPIPE does elsewhere.
            if (readerHasGone(error))
                ExitProcess(exitReaderGone);
            return static_cast<int>(error);
        }
        // A pipe a parent set non-blocking (PIPE_NOWAIT) takes nothing while
        // it is full: try again a moment later.
        if (written == 0)
            Sleep(1);
        data += written;
        size -= written;
    }
    return 0;
}

const char* describeOutputError(int error)
{
    static char text[256];
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
    if (length == 0)
        return "unknown error";
    // The system's text ends in a full stop and CR LF.
    std::size_t end = length;
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n' || text[end - 1] == '.' ||
                       text[end - 1] == ' '))
        --end;
    text[end] = '\0';
    return text;
}

void writeToStandardError(const char* text)
{
    writeAll(GetStdHandle(STD_ERROR_HANDLE), text, std::strlen(text));
}
