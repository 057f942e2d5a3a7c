// Shared by the benchmarks: the best of several timed runs, and the ratio line they print.
// A ratio is the platform's time over the library's, so 1.0 or more means the library is at
// least as fast.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>

namespace kxbench {

constexpr int kRuns = 5;

// Seconds of the fastest of kRuns calls of `work`.
template <typename Work>
double BestSeconds(Work work) {
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    double best = 1e30;
    for (int run = 0; run < kRuns; ++run) {
        ::QueryPerformanceCounter(&start);
        work();
        ::QueryPerformanceCounter(&end);
        const double seconds =
            static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
        if (seconds < best) best = seconds;
    }
    return best;
}

inline void PrintRatio(const char* what, double megabytes, double library, double platform) {
    std::printf("%-28s library %8.1f MB/s  platform %8.1f MB/s  ratio %.2f\n", what,
                megabytes / library, megabytes / platform, platform / library);
    std::fflush(stdout);
}

// Stops the benchmark when the library and the platform disagree: a ratio of wrong results
// means nothing.
inline bool Agree(bool same, const char* what) {
    if (!same) std::printf("%s: the library's result differs from the platform's\n", what);
    return same;
}

// Deterministic filler bytes.
inline void Fill(unsigned char* data, size_t size) {
    unsigned int state = 0x2545F491u;
    for (size_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        data[i] = static_cast<unsigned char>(state);
    }
}

}  // namespace kxbench
