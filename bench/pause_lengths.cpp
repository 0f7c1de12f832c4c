// How long the watcher's pause really takes here: times PAUSES of them and
// prints their mean and longest, in milliseconds, against the 12 asked for.
// Usage: pause_lengths PAUSES
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "pause.h"

int main(int argc, char** argv)
{
    const long pauses = argc > 1 ? std::atol(argv[1]) : 250;
    double total = 0, longest = 0;
    for (long i = 0; i < pauses; ++i) {
        const auto start = std::chrono::steady_clock::now();
        pauseBetweenPasses();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        total += took.count();
        longest = took.count() > longest ? took.count() : longest;
    }
    std::printf("%ld pauses: mean %.2f ms, longest %.2f ms\n", pauses,
                total / static_cast<double>(pauses), longest);
    return 0;
}
