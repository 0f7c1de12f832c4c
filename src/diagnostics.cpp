#include "diagnostics.h"

#include <cstdio>

void report(const char* what, const char* why)
{
    std::fprintf(stderr, "%s: %s: %s\n", programName, what, why);
}

void advise(const char* text)
{
    std::fprintf(stderr, "%s: %s\n", programName, text);
}
