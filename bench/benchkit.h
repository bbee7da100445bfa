// benchkit.h - what every benchmark shares: a measured side and its reference
// run in turns, round by round, so that a busy machine slows both alike, and
// the ratio of each round reported as min / median / max against its goal.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

struct BenchResult {
    std::vector<double> runSeconds;
    std::vector<double> refSeconds;
    std::vector<double> ratios;  // run / ref, one a round
};

inline double BenchSeconds(const std::function<void()>& fn) {
    auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Each round times run, then ref; a round of either that returns a time of its
// own (the timed part of a longer step) can use BenchAddRound instead.
inline void BenchAddRound(BenchResult* r, double run, double ref) {
    r->runSeconds.push_back(run);
    r->refSeconds.push_back(ref);
    r->ratios.push_back(ref > 0 ? run / ref : 0);
}

inline BenchResult BenchInTurns(int rounds, const std::function<void()>& run, const std::function<void()>& ref) {
    BenchResult r;
    for (int i = 0; i < rounds; i++) {
        double a = BenchSeconds(run);
        double b = BenchSeconds(ref);
        BenchAddRound(&r, a, b);
    }
    return r;
}

// The size of a file written, or 0.
inline long BenchFileSize(const char* path) {
    FILE* f = fopen(path, "rb");
    if (!f) return 0;
    fseek(f, 0, SEEK_END);
    long n = ftell(f);
    fclose(f);
    return n;
}

inline double BenchMedian(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// With QOV_BENCH_SUMMARY naming a file (bench/run.sh sets it), a ratio with
// a goal is also appended there as one tab-separated line for the run's
// summary table: name, min, median, max, goal, "met" or "missed" (the median
// against the goal). A benchmark that reports its ratios its own way calls
// this for each goal.
inline void BenchSummaryLine(const char* name, double min, double median, double max, double goal) {
    const char* path = getenv("QOV_BENCH_SUMMARY");
    if (!path || !*path || goal <= 0) return;
    FILE* f = fopen(path, "a");
    if (!f) return;
    fprintf(f, "%s\t%.2f\t%.2f\t%.2f\t%.2f\t%s\n", name, min, median, max, goal, median <= goal ? "met" : "missed");
    fclose(f);
}

// One line: the median times of both sides (scaled by `per`, e.g. 1e6 / N for
// microseconds an item), then min / median / max of the per-round ratios and
// whether the median meets the goal (0: no goal).
inline void BenchReport(const char* name, const BenchResult& r, const char* refName, double goal, double per = 1e3,
                        const char* unit = "ms") {
    if (r.ratios.empty()) return;
    auto mm = std::minmax_element(r.ratios.begin(), r.ratios.end());
    double med = BenchMedian(r.ratios);
    printf("%-28s %9.2f %s   %-22s %9.2f %s   ratio min %.2f median %.2f max %.2f", name,
           BenchMedian(r.runSeconds) * per, unit, refName, BenchMedian(r.refSeconds) * per, unit, *mm.first, med,
           *mm.second);
    if (goal > 0) printf("  (goal %.2f) %s", goal, med <= goal ? "ok" : "MISSED");
    printf("  [%zu rounds]\n", r.ratios.size());
    fflush(stdout);
    BenchSummaryLine(name, *mm.first, med, *mm.second, goal);
}
