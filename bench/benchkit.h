// benchkit.h - what every benchmark shares: a measured side and its reference
// run in turns, round by round, so that a busy machine slows both alike, and
// the ratio of each round reported as min / median / max against its goal.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
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

// Rounds whose two sides time themselves (0: the side failed, and the round
// is left out), the side that goes first changing every round.
inline void BenchAlternating(BenchResult* r, int rounds, const std::function<double()>& run,
                             const std::function<double()>& ref) {
    for (int i = 0; i < rounds; i++) {
        double a = 0, b = 0;
        if (i % 2) b = ref(), a = run();
        else a = run(), b = ref();
        if (a > 0 && b > 0) BenchAddRound(r, a, b);
    }
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
// against the goal), then the median times of both sides with their unit.
// A benchmark that reports its ratios its own way calls this for each goal.
inline void BenchSummaryLine(const char* name, double min, double median, double max, double goal,
                             double runTime = 0, double refTime = 0, const char* unit = "") {
    const char* path = getenv("QOV_BENCH_SUMMARY");
    if (!path || !*path || goal <= 0) return;
    FILE* f = fopen(path, "a");
    if (!f) return;
    fprintf(f, "%s\t%.2f\t%.2f\t%.2f\t%.2f\t%s\t%.2f\t%.2f\t%s\n", name, min, median, max, goal,
            median <= goal ? "met" : "missed", runTime, refTime, unit);
    fclose(f);
}

// A measurement that could not be made, with its reason, in the summary
// (as bench/run.sh notes a benchmark that failed).
inline void BenchSummaryFailure(const char* name, const char* reason) {
    const char* path = getenv("QOV_BENCH_SUMMARY");
    if (!path || !*path) return;
    FILE* f = fopen(path, "a");
    if (!f) return;
    fprintf(f, "FAILED %s: %s\n", name, reason);
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
    BenchSummaryLine(name, *mm.first, med, *mm.second, goal, BenchMedian(r.runSeconds) * per,
                     BenchMedian(r.refSeconds) * per, unit);
}

// The goals, one table for every benchmark: what is measured, the reference
// timed beside it in the same run, and the most the median of the per-round
// ratios may be. A benchmark reports a measurement of a goal with
// BenchReportGoal and the goal's key; its name tells the case (a photograph,
// a layout, the object count). A new goal is a key and a row here. (The web
// view benchmark's absolute bounds, in milliseconds and shares of a core,
// are not ratios and stay with it.)
enum BenchGoalKey {
    kGoalPngPhotograph,   // image_bench: a PNG photograph decoded, against inflating its image data alone
    kGoalPngGenerated,    // image_bench: the generated pictures (colour types, Adam7, cycling filters)
    kGoalTiffPackBits,    // image_bench: a PackBits TIFF, against libtiff's strips (host)
    kGoalJpeg,            // image_bench
    kGoalTiffLzw,         // image_bench (host)
    kGoalTiffFax,         // image_bench (host)
    kGoalHideDestroy,     // hiding or destroying overlapping controls, stacked and on a grid
    kGoalLabelRead,       // 2407 on a label, on one CPU and on all
    kGoalLabelsCreate,    // labels x100 and x1,000
    kGoalWebLabels,       // 100 labels made in a web window
    kGoalWebLabelsFlat,   // 10,000 labels made in a web window; bound: 1.2 x the ratio at 100 of the run
    kGoalWebLabelsFullPage, // 100 labels made in a web window whose host page is full-screen (1,220 x 1,020)
    kGoalWebLabelsPageArea, // labels made in the full-screen host page, against the same in a 400 x 240 one
    kGoalWebFormLoad,     // a form of 100 controls loaded into a web window
    kGoalWebReadMedian,   // a web edit's 2407, median
    kGoalWebReadP95,      // a web edit's 2407, 95th percentile
    kGoalStartup,         // session_bench: launch to the program request, from inside Wine and from Unix
    kGoalWindowsCreate,   // session_bench: top-level windows x100, x1,000, x5,000
    kGoalLargeFrames,     // session_bench: frames of 100 KB, 1 MB and 10 MB read whole and answered
    kGoalClientFlatness,  // session_bench: the client's CPU for its last 500 of 10,000 labels
    kGoalDockedCreate,    // session_bench: 5,000 docked buttons made one request at a time
    kGoalPdfPageTime,     // pdf_bench: a report page written (twice cairo's pages per second)
    kGoalPdfPageSize,     // pdf_bench: a report page's bytes
    kGoalPdfCyrillicSize, // pdf_bench: a Cyrillic page's bytes; bound: the Latin page's size ratio of the run
    kGoalPdfPhotoTime,    // pdfimage_bench: a 1000 x 1000 photograph on a page
    kGoalPdfPhotoSize,    // pdfimage_bench: that page's bytes
    kGoalPdfEncrypted,    // pdfimage_bench: encrypted text pages against plain ones
    kGoalPdfImport,       // pdfimport_bench: a page imported
    kGoalSubsetTime,      // pdfsubset_bench: a font subset made (twenty times fontTools' speed)
    kGoalSubsetSize,      // pdfsubset_bench: the subset's bytes
    kGoalFormLoad,        // forms_bench: a form of 500 objects loaded
    kGoalFormSave,        // forms_save_bench: a form of 500 objects saved
    kGoalAutomation,      // automation_bench: automation calls through the client
    kGoalWindowlessPaint, // graphics_bench: a repaint of 500 windowless shapes and lines
    kGoalAddButton,       // bars_bench: 200 buttons added to a bar
    kGoalAddButtonGrowth, // bars_bench: 400 buttons against 200
    kGoalPictFirstPaint,  // pict_bench: a picture's first paint at 25 %
    kGoalPictRepaint,     // pict_bench: a picture's repaint
    kGoalPrinterFile,     // prtfile_bench: a printer file written
    kGoalSpoolToPdf,      // spool_bench: 1,000 spooled pages replayed into a PDF file
    kGoalSpoolLastPage,   // spool_bench: the last of 10,000 spooled pages read
    kBenchGoalCount
};

struct BenchGoal {
    BenchGoalKey key;
    const char* measured;
    const char* reference;
    double most;  // of the median per-round ratio
};

inline constexpr BenchGoal kBenchGoals[kBenchGoalCount] = {
    {kGoalPngPhotograph, "PNG photograph decode", "inflate alone", 1.15},
    {kGoalPngGenerated, "PNG generated picture decode", "inflate alone", 1.5},
    {kGoalTiffPackBits, "TIFF PackBits decode", "libtiff strips", 1.3},
    {kGoalJpeg, "JPEG decode", "bare scanline loop", 1.1},
    {kGoalTiffLzw, "TIFF LZW decode", "libtiff strips", 1.5},
    {kGoalTiffFax, "TIFF Group 4 decode", "libtiff strips", 2.0},
    {kGoalHideDestroy, "hide / destroy", "direct Win32", 1.3},
    {kGoalLabelRead, "2407 on a label", "raw Wine ping-pong", 1.1},
    {kGoalLabelsCreate, "labels made", "direct Win32", 1.2},
    {kGoalWebLabels, "100 web labels", "native labels", 1.0},
    {kGoalWebLabelsFlat, "10,000 web labels", "native labels", 0},
    {kGoalWebLabelsFullPage, "100 web labels, full-screen page", "native labels", 1.3},
    {kGoalWebLabelsPageArea, "web labels, full-screen page", "400 x 240 page", 1.2},
    {kGoalWebFormLoad, "100-control web form load", "native form load", 1.2},
    {kGoalWebReadMedian, "web read, median", "native read + bare evaluate", 1.3},
    {kGoalWebReadP95, "web read, p95", "native read + bare evaluate", 2.0},
    {kGoalStartup, "start-up to the program request", "trivial Wine program", 1.2},
    {kGoalWindowsCreate, "top-level windows made", "direct Win32", 1.3},
    {kGoalLargeFrames, "large frame read and answered", "raw blocking reads", 1.3},
    {kGoalClientFlatness, "client CPU, labels 9,501-10,000", "labels 1-500", 1.2},
    {kGoalDockedCreate, "5,000 docked buttons made", "undocked buttons", 2.0},
    {kGoalPdfPageTime, "report page time", "cairo", 0.5},
    {kGoalPdfPageSize, "report page size", "cairo", 1.0},
    {kGoalPdfCyrillicSize, "Cyrillic page size", "cairo", 0},
    {kGoalPdfPhotoTime, "photograph page time", "cairo", 1.0},
    {kGoalPdfPhotoSize, "photograph page size", "cairo", 1.0},
    {kGoalPdfEncrypted, "encrypted text pages", "plain", 1 / 0.75},
    {kGoalPdfImport, "page import", "libqpdf", 1.1},
    {kGoalSubsetTime, "font subset time", "fontTools", 0.05},
    {kGoalSubsetSize, "font subset size", "fontTools", 1.0},
    {kGoalFormLoad, "form load", "direct creation", 1.1},
    {kGoalFormSave, "form save", "reads + file put", 1.2},
    {kGoalAutomation, "automation calls", "GetIDsOfNames+Invoke", 1.3},
    {kGoalWindowlessPaint, "windowless repaint", "plain GDI calls", 1.5},
    {kGoalAddButton, "AddButton x200", "bare calls x200", 2.0},
    {kGoalAddButtonGrowth, "AddButton x400", "AddButton x200", 2.5},
    {kGoalPictFirstPaint, "picture first paint", "HALFTONE StretchDIBits", 2.0},
    {kGoalPictRepaint, "picture repaint", "bare StretchDIBits", 1.2},
    {kGoalPrinterFile, "printer file", "WriteFile", 1.5},
    {kGoalSpoolToPdf, "spooled pages to PDF", "directly", 1.5},
    {kGoalSpoolLastPage, "last spooled page", "one sequential read", 2.0},
};

// The table's order is its keys' order.
constexpr bool BenchGoalsInOrder(size_t i = 0) {
    return i == kBenchGoalCount || (kBenchGoals[i].key == BenchGoalKey(i) && BenchGoalsInOrder(i + 1));
}
static_assert(BenchGoalsInOrder(), "kBenchGoals lists its rows in the order of BenchGoalKey");

// One measurement of a goal: its line and its summary line, as BenchReport,
// against the goal's reference and bound from the table.
inline void BenchReportGoal(BenchGoalKey key, const std::string& name, const BenchResult& r, double per = 1e3,
                            const char* unit = "ms") {
    const BenchGoal& g = kBenchGoals[key];
    BenchReport(name.c_str(), r, g.reference, g.most, per, unit);
}

// The same for a goal whose bound is measured in the run (its row's is 0).
inline void BenchReportGoalWithin(BenchGoalKey key, const std::string& name, const BenchResult& r, double bound,
                                  double per = 1e3, const char* unit = "ms") {
    BenchReport(name.c_str(), r, kBenchGoals[key].reference, bound, per, unit);
}
