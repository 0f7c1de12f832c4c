// An output a test hands to the watch loop and reads back: a pipe, on every
// platform (unit/posix/ and unit/windows/ make it).
#pragma once

#include <string>

#include "output.h"

class CapturedOutput {
public:
    CapturedOutput();
    ~CapturedOutput();
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    OutputHandle handle() const { return writer_; }

    // Everything written since the last call.
    std::string take();

private:
    OutputHandle reader_;
    OutputHandle writer_;
};
