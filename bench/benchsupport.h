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

inline void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "benchmark: %s failed\n", what);
        std::exit(1);
    }
}

} // namespace bench
