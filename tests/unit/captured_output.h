// A file descriptor whose contents a test can read back.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <string>

class CapturedOutput {
public:
    CapturedOutput() : file_(std::tmpfile()) {}
    ~CapturedOutput() { std::fclose(file_); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    int fd() const { return fileno(file_); }

    // Everything written since the last call.
    std::string take()
    {
        std::string text;
        char chunk[256];
        ssize_t length;
        while ((length = pread(fd(), chunk, sizeof chunk, taken_)) > 0) {
            text.append(chunk, static_cast<std::size_t>(length));
            taken_ += length;
        }
        return text;
    }

private:
    std::FILE* file_;
    off_t taken_ = 0;
};
