#pragma once
// What every benchmark shares: wall-clock timing and stopping on a failed
// set-up step (a benchmark over a broken database measures nothing).

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The number of registrations to generate: 100 000, or the value of
// BRENVO_BENCH_REGISTRATIONS (1000000 for an office's worst case).
inline int registrations()
{
    const char* value = std::getenv("BRENVO_BENCH_REGISTRATIONS");
    const int n = value ? std::atoi(value) : 0;
    return n > 0 ? n : 100000;
}

inline void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "benchmark: %s failed\n", what);
        std::exit(1);
    }
}

} // namespace bench
