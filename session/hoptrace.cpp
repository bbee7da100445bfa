// hoptrace.cpp - the clock of the hop records and, in the tracing build, the
// records themselves (see hoptrace.h): a fixed table filled by the main
// thread, written once at exit.
#include "session/hoptrace.h"

#include <windows.h>

double HopClockMs() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

#ifdef QOV_HOP_TRACE
#include <cstdio>
#include <cstdlib>

namespace {

constexpr uint32_t kHopRecords = 20000;

struct HopRecord {
    uint32_t number;            // the post's number, 0: no post
    double at[kHopCount];       // milliseconds of the performance counter, 0: not reached
};

HopRecord gHops[kHopRecords];
uint32_t gHopCount;
bool gHopExitSet;

void HopTraceWrite() {
    const char* name = getenv("QOV_HOP_TRACE_FILE");
    FILE* f = name ? fopen(name, "w") : nullptr;
    if (!f) return;
    for (uint32_t i = 0; i < gHopCount; i++) {
        fprintf(f, "%u", gHops[i].number);
        for (double t : gHops[i].at) fprintf(f, "\t%.4f", t);
        fputc('\n', f);
    }
    fclose(f);
}

}  // namespace

void HopTraceBegin() {
    if (!gHopExitSet) {
        gHopExitSet = true;
        atexit(HopTraceWrite);
    }
    if (gHopCount < kHopRecords) gHops[gHopCount++] = HopRecord{};
    HopTraceMark(kHopFrameTaken);
}

void HopTraceMark(HopPoint point) {
    if (gHopCount) gHops[gHopCount - 1].at[point] = HopClockMs();
}

void HopTracePostNumber(uint32_t number) {
    if (gHopCount) gHops[gHopCount - 1].number = number;
}
#endif
