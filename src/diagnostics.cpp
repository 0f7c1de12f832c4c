#include "diagnostics.h"

#include <cstddef>
#include <initializer_list>

#include "output.h"

namespace {

// The parts joined into one line, which leaves in one write, whole, the same
// way on every platform (cut short if it would not fit, which none does).
void writeMessage(std::initializer_list<const char*> parts)
{
    char line[512];
    std::size_t length = 0;
    for (const char* part : parts)
        for (; *part && length < sizeof line - 2; ++part)
            line[length++] = *part;
    line[length++] = '\n';
    line[length] = '\0';
    writeToStandardError(line);
}

}  // namespace

void report(const char* what, const char* why)
{
    writeMessage({programName, ": ", what, ": ", why});
}

void advise(const char* text)
{
    writeMessage({programName, ": ", text});
}
