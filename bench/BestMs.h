// The timing every benchmark here uses: the best of several runs, so that a run slowed by the
// machine's other work does not count.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

// The shortest of `repeat` runs of `run`, in milliseconds.
inline double BestMs(unsigned repeat, const std::function<void()>& run)
{
    double best = 1e30;
    for (unsigned i = 0; i < repeat; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}
