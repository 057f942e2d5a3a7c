// The one harness every benchmark uses. A row compares the library with the platform call it
// stands for: both run the same work in short batches of the same number of calls, one after
// the other, the order swapped from pair to pair, so that whatever else loads the machine hits
// both sides alike. A batch counts its fastest call: another program that takes the processor
// (or keeps the registry's or the service's process waiting) only ever makes a call longer.
// Each pair gives one ratio (library time over platform time); a row reports the median of those
// ratios, their interquartile range and the range the median itself falls in, against its goal:
// the library takes at most `goal` times the platform's time.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kxbench {

// Goals: a call of the library over the registry or the service wire may add a fifth to the
// raw calls it stands for; an encoder must be at least as fast as the platform's own.
constexpr double kCallGoal = 1.2;
constexpr double kEncoderGoal = 1.0;

// A batch has at least kMinCalls calls and lasts about kBatchSeconds: short, so that both sides
// of a pair meet much the same load, yet with calls enough that one of them ran undisturbed.
constexpr int kMinCalls = 9;
constexpr double kBatchSeconds = 0.0002;
// Each row runs for about this long, with at least kMinPairs pairs (a call that takes longer than
// the row's time still gets them) and at most kMaxPairs.
constexpr double kRowSeconds = 1.2;
constexpr int kMinPairs = 31;
constexpr int kMaxPairs = 1000;
// Pairs run and thrown away first: caches, the registry's and the heap's first touches.
constexpr int kWarmUpPairs = 2;

inline double Now() {
    static const double tick = [] {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return 1.0 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * tick;
}

// Seconds of the fastest of `calls` calls of `work`.
template <typename Work>
double FastestCall(Work& work, int calls) {
    double fastest = 1e30;
    for (int i = 0; i < calls; ++i) {
        const double start = Now();
        work();
        fastest = std::min(fastest, Now() - start);
    }
    return fastest;
}

struct Result {
    double median;       // of the per-pair ratios
    double lowQuartile;  // the interquartile range of the per-pair ratios
    double highQuartile;
    double medianLow;  // where the median of such a run falls 95 times in 100
    double medianHigh;
    double librarySeconds;  // the median of the batches' fastest calls, each side
    double platformSeconds;
    int pairs;
    int callsPerBatch;
};

// The value at fraction `at` (0 to 1) of sorted values, between neighbours.
inline double Quantile(const std::vector<double>& sorted, double at) {
    const double position = at * static_cast<double>(sorted.size() - 1);
    const size_t below = static_cast<size_t>(position);
    const size_t above = std::min(below + 1, sorted.size() - 1);
    const double weight = position - static_cast<double>(below);
    return sorted[below] * (1 - weight) + sorted[above] * weight;
}

// The median's 95% range from the sorted values alone: the values at ranks n/2 -+ 0.98 sqrt(n),
// whatever the values' distribution.
inline double MedianBound(const std::vector<double>& sorted, int side) {
    const double n = static_cast<double>(sorted.size());
    const double rank = n / 2 + side * 0.98 * std::sqrt(n);
    const double clamped = std::min(std::max(rank, 0.0), n - 1);
    return sorted[static_cast<size_t>(side < 0 ? std::floor(clamped) : std::ceil(clamped))];
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return Quantile(values, 0.5);
}

template <typename Library, typename Platform>
Result Compare(Library library, Platform platform, double rowSeconds = kRowSeconds) {
    // One call of each, the slower deciding how many calls make a batch.
    library();
    platform();
    const double once = std::max(FastestCall(library, 1), FastestCall(platform, 1));
    const int calls = std::max(kMinCalls, static_cast<int>(kBatchSeconds / std::max(once, 1e-7)));

    std::vector<double> ratios, libraryTimes, platformTimes;
    const double start = Now();
    for (int pair = 0; pair < kWarmUpPairs + kMaxPairs; ++pair) {
        double libraryTime, platformTime;
        if (pair % 2 == 0) {
            libraryTime = FastestCall(library, calls);
            platformTime = FastestCall(platform, calls);
        } else {
            platformTime = FastestCall(platform, calls);
            libraryTime = FastestCall(library, calls);
        }
        if (pair < kWarmUpPairs || platformTime <= 0) continue;
        ratios.push_back(libraryTime / platformTime);
        libraryTimes.push_back(libraryTime);
        platformTimes.push_back(platformTime);
        if (static_cast<int>(ratios.size()) >= kMinPairs && Now() - start >= rowSeconds) break;
    }
    Result result{};
    result.callsPerBatch = calls;
    result.pairs = static_cast<int>(ratios.size());
    if (ratios.empty()) return result;
    std::sort(ratios.begin(), ratios.end());
    result.median = Quantile(ratios, 0.5);
    result.lowQuartile = Quantile(ratios, 0.25);
    result.highQuartile = Quantile(ratios, 0.75);
    result.medianLow = MedianBound(ratios, -1);
    result.medianHigh = MedianBound(ratios, +1);
    result.librarySeconds = Median(libraryTimes);
    result.platformSeconds = Median(platformTimes);
    return result;
}

// What a program's rows came to.
struct Tally {
    int rows = 0;
    int overGoal = 0;
    bool agreed = true;
};

inline void PrintHeader(const char* title) {
    std::printf("%s\n", title);
    std::printf("  %-58s %6s %-11s %-11s %-7s %-4s %-11s %s\n", "library / platform", "median",
                "IQR", "median 95%", "goal", "", "pairs*calls", "us per call");
    std::fflush(stdout);
}

// Prints one row: what is compared, the median ratio, its spread, the goal and whether the
// median meets it; then how many pairs of how many calls, and what one call took on each side.
inline void PrintRow(Tally& tally, const char* what, const Result& result, double goal) {
    const bool met = result.pairs > 0 && result.median <= goal;
    ++tally.rows;
    if (!met) ++tally.overGoal;
    std::printf("  %-58s %5.2fx %4.2f-%4.2fx %4.2f-%4.2fx <=%4.2fx %-4s %4d*%-6d %.1f/%.1f\n", what,
                result.median, result.lowQuartile, result.highQuartile, result.medianLow,
                result.medianHigh, goal, met ? "met" : "OVER", result.pairs, result.callsPerBatch,
                result.librarySeconds * 1e6, result.platformSeconds * 1e6);
    std::fflush(stdout);
}

// A ratio of wrong results means nothing: the program stops when the two sides disagree.
inline bool Agree(Tally& tally, bool same, const char* what) {
    if (!same) {
        std::printf("  %s: the library's result differs from the platform's\n", what);
        std::fflush(stdout);
        tally.agreed = false;
    }
    return same;
}

// The program's last line and exit code: 0 when every row ran and met its goal.
inline int Finish(const Tally& tally) {
    if (!tally.agreed)
        std::printf("  results differ: no ratio of this program counts\n");
    else if (tally.overGoal == 0)
        std::printf("  all %d rows within their goals\n", tally.rows);
    else
        std::printf("  %d of %d rows OVER their goals\n", tally.overGoal, tally.rows);
    std::fflush(stdout);
    return tally.agreed && tally.overGoal == 0 ? 0 : 1;
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
