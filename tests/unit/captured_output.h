// A stdio stream whose contents a test can read back.
#pragma once

#include <cstdio>
#include <string>

class CapturedOutput {
public:
    CapturedOutput() : file_(std::tmpfile()) {}
    ~CapturedOutput() { std::fclose(file_); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::FILE* stream() { return file_; }

    // Everything written since the last call.
    std::string take()
    {
        std::fflush(file_);
        std::fseek(file_, taken_, SEEK_SET);
        std::string text;
        for (int c; (c = std::fgetc(file_)) != EOF;)
            text += static_cast<char>(c);
        taken_ = std::ftell(file_);
        std::fseek(file_, 0, SEEK_END);  // the next write appends
        return text;
    }

private:
    std::FILE* file_;
    long taken_ = 0;
};
